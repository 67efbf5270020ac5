// The one place where the byte strings of names and tags become display text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace tunrax {

// UTF-8 display text of a byte string: the text ends at its first zero byte;
// byte sequences that are valid UTF-8 stay as they are; every other byte is
// read as Windows-1252 (its five undefined bytes as the control characters of
// the same number). Never throws.
std::string DisplayText(const std::string& bytes);

// True when the whole byte string is valid UTF-8 (pure ASCII included).
bool IsValidUtf8(const std::string& bytes);

// The number of characters (code points) of DisplayText(bytes), counted
// without building it.
size_t DisplayLength(const std::string& bytes);

// Every byte read as Windows-1252 (its five undefined bytes as the control
// characters of the same number), in UTF-8.
std::string Cp1252ToUtf8(const std::string& bytes);

// The Windows-1252 bytes of valid UTF-8 text; none when a character has no
// Windows-1252 form. Cp1252ToUtf8 gives the text back.
std::optional<std::string> Utf8ToCp1252(const std::string& utf8);

}  // namespace tunrax
