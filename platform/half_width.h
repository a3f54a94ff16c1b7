// Folding of full-width text to the half-width characters that the drill
// knows, for text coming in from the desktop (an input method, a text
// editor, the command line) before it is converted to code page 932.
//
// An input method gives full-width katakana or hiragana and full-width
// Latin letters by default; the drill's characters are the half-width
// katakana of code page 932 and ASCII. The fold maps each full-width
// character that has a half-width twin to that twin:
// - katakana and hiragana to half-width katakana, voiced and semi-voiced
//   ones to the base kana and its mark (ガ and が to ｶﾞ, パ to ﾊﾟ), small
//   ones to the small half-width ones (ァ to ｧ), ヰ and ヱ to ｨ and ｪ,
//   which carry wi and we in the kana code;
// - the marks and signs of the half-width block: ー ゛ ゜ 。 「 」 、 ・;
// - the full-width forms of ASCII (Ａ, ａ, １, （, ？ ...) and the
//   ideographic space to ASCII.
// Every other character, a kanji for one, and every byte that is not
// UTF-8, passes unchanged.
#pragma once

#include <string>
#include <string_view>

namespace rivek {

// UTF-8 in, UTF-8 out.
std::string FoldToHalfWidth(std::string_view utf8);

}  // namespace rivek
