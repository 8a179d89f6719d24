// The exported entry points of the simulated sensor: thin forwards to the process's
// TSimSensor. Nothing may throw across the boundary; a failure is a false result.
#include "Ostrela.h"

#include "SensorHost.h"

namespace {

using mivex::ostrela::FollowScenarioFile;
using mivex::ostrela::TheSensor;

template <typename F>
std::int32_t Guarded(F&& body) {
  try {
    return body() ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

}  // namespace

MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_OpenSensor() {
  return Guarded([] { return TheSensor().Open(); });
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_CloseSensor() {
  return Guarded([] {
    TheSensor().Close();
    return true;
  });
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_StartImage() {
  return Guarded([] {
    FollowScenarioFile();
    return TheSensor().StartImage();
  });
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_GetBinaryImage(std::uint8_t* image, std::int32_t mode, std::int32_t dpi,
                                                             std::int32_t* width, std::int32_t* height) {
  return Guarded([=] { return TheSensor().GetBinaryImage(image, mode, dpi, width, height); });
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_StopImage() {
  return Guarded([] {
    TheSensor().StopImage();
    return true;
  });
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_GetImage(std::uint8_t* image, std::int32_t* width, std::int32_t* height) {
  return Guarded([=] { return TheSensor().GetImage(image, width, height); });
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_CheckSensorStatus() {
  try {
    return TheSensor().Status();
  } catch (...) {
    return mivex::ostrela::ssBadScenario;
  }
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_HMFVOpenLib() {
  return Guarded([] { return TheSensor().MatcherOpen(); });
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_HMFVCLoseLib() {
  return Guarded([] { return TheSensor().MatcherClose(); });
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_HMFVStartEnroll(std::int32_t slot) {
  return Guarded([=] { return TheSensor().MatcherStartEnroll(slot); });
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_HMFVEnroll(std::int32_t* progress) {
  return Guarded([=] { return TheSensor().MatcherEnroll(progress); });
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_HMFVVerify(std::int32_t slot, std::int32_t* matched) {
  return Guarded([=] { return TheSensor().MatcherVerify(slot, matched); });
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_HMFVSetParas(std::int32_t id, std::int32_t value) {
  return Guarded([=] { return TheSensor().SetParameter(id, value); });
}

MIVEX_EXPORT std::int32_t MIVEX_STDCALL bAPI4_HMFVGetParas(std::int32_t id, std::int32_t* value) {
  return Guarded([=] { return TheSensor().GetParameter(id, value); });
}
