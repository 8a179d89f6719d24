// LoadStr over the string tables of the module that holds this code (Mivex.dll, or a
// program that links the catalogue in). The language-neutral request lets the platform
// choose the table from the user-interface language.
#include <windows.h>

#include "workflow/Catalogue.h"

namespace mivex {
namespace {

HMODULE CatalogueModule() {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&CatalogueModule), &module);
  return module;
}

}  // namespace

std::string LoadStr(int number) {
  if (number < 0 || number > 0xFFFF) return {};
  wchar_t text[kMaxCatalogueText + 1];
  const int n = ::LoadStringW(CatalogueModule(), static_cast<UINT>(number), text, kMaxCatalogueText + 1);
  if (n <= 0) return {};
  // Characters the ANSI code page cannot represent arrive as its replacement character.
  const int size = ::WideCharToMultiByte(CP_ACP, 0, text, n, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text, n, out.data(), size, nullptr, nullptr);
  return out;
}

}  // namespace mivex
