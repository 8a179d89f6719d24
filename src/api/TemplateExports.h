#pragma once
// The template exports of Mivex.dll (stdcall, undecorated names). See dist's mivex.h
// for the host's view.
#include <cstdint>

#include "base/Stdcall.h"

MIVEX_EXPORT std::int32_t MIVEX_STDCALL GetFPEnrollTemp(const char* UserID, const char* EnrolledFinger,
                                                        const char* FingerCodes, std::int32_t Minimum,
                                                        std::int32_t Maximum, char* TemplateBuf);
MIVEX_EXPORT std::int32_t MIVEX_STDCALL GetFPEnrollTempBySet(const char* UserID, const char* EnrolledFinger,
                                                             const char* FingerCodes, const char* FingerSequence,
                                                             std::int32_t Minimum, std::int32_t Maximum,
                                                             char* TemplateBuf);
MIVEX_EXPORT std::int32_t MIVEX_STDCALL GetFPEnrollTempP(const char* UserID, const char* EnrolledFinger,
                                                         const char* FingerCodes, std::int32_t Minimum,
                                                         std::int32_t Maximum, char* TemplateBuf);
MIVEX_EXPORT std::int32_t MIVEX_STDCALL GetFPEnrollTempBySetP(const char* UserID, const char* EnrolledFinger,
                                                              const char* FingerCodes, const char* FingerSequence,
                                                              std::int32_t Minimum, std::int32_t Maximum,
                                                              char* TemplateBuf);
MIVEX_EXPORT std::int32_t MIVEX_STDCALL GetFPVerifyTemp(char* TemplateBuf);
MIVEX_EXPORT std::int32_t MIVEX_STDCALL GetFPVerifyTempString(const char** TemplateVar);
MIVEX_EXPORT void MIVEX_STDCALL GetPdtLID(const char** Output, const char* Input);
