// Conversion between UTF-8 and code page 932 (Shift-JIS), the text of the
// core. Every text crossing between Qt or the command line (Unicode) and the
// core (code page 932 bytes) goes through here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rivek {

// UTF-8 to code page 932; nullopt when some character has no code page 932
// form or the input is not valid UTF-8.
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

// UTF-8 to code page 932, with `replacement` ("?" unless told) for each
// character that code page 932 lacks (an emoji, the euro sign) and for each
// byte that is not UTF-8. What a user types always reaches the core, as the
// classic ANSI conversion of an edit field's text does.
std::string Utf8ToCp932Replacing(std::string_view utf8, std::string_view replacement = "?");

// Text a user typed or wrote, on its way into the core: full-width kana and
// letters folded to their half-width twins (platform/half_width.h), then
// converted as Utf8ToCp932Replacing does.
std::string UserTextToCp932(std::string_view utf8, std::string_view replacement = "?");

// Code page 932 to UTF-8. Never fails: a byte that does not form a valid
// character (a lone lead byte, an unassigned code) becomes U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);

}  // namespace rivek
