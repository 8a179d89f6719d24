#pragma once
#include <string>
#include <string_view>

namespace mivex {

// Removes leading and trailing blanks (character 32 only); the controls use it.
std::string TrimBlanks(std::string_view text);

// Removes leading and trailing characters 0x00..0x20, as the guarded exports do.
std::string TrimControls(std::string_view text);

// The n-th field (counted from 1) of `text` cut at `separator`; empty when absent.
std::string FieldOf(std::string_view text, char separator, int n);

// ASCII case-insensitive equality, for registry names.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace mivex
