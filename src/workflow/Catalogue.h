#pragma once
// The message catalogue: every text the dialogs show is a numbered entry of string tables
// stored with the library in nine languages. The platform's resource lookup picks the
// language from the user-interface language of the host's user and thread.
#include <cstdint>
#include <string>

#include "base/Component.h"

namespace mivex {

// Longest text the lookup copies.
constexpr int kMaxCatalogueText = 1023;

// The catalogue text of `number` in the chosen language, in the system's ANSI code page;
// empty when the number does not exist. On Windows this asks the string tables of the
// module that holds this code for the language-neutral entry; the native build (which has
// no string resources) answers from the English table.
std::string LoadStr(int number);

// The text-lookup component.
class TXUtil : public TComponent {
 public:
  explicit TXUtil(TComponent* owner = nullptr) : TComponent(owner) {}

  // Not consulted by any lookup.
  std::int32_t DefaultPrimaryLanguage = 0;
  std::int32_t DefaultSubLanguage = 0;

  // Catalogue text (code + 400); empty when the lookup fails.
  std::string MessageText(std::int32_t code) const;
};

// The message text of an error code: catalogue text code - 100 for 401..499, otherwise
// TXUtil's message text (catalogue text code + 400).
std::string ErrorText(std::int32_t code);

}  // namespace mivex
