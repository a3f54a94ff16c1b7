// The fonts of the main window. Every control shows Japanese captions and,
// in the answer field and the result box, half-width katakana, so the face
// must carry both.
#pragma once

#include <QFont>
#include <QStringList>

namespace rivek {

// The faces to use, best first, out of those installed: "ＭＳ Ｐゴシック"
// where it exists, otherwise proportional gothic faces that carry kanji,
// kana and half-width katakana. Empty when none of them is installed.
QStringList JapaneseFamilies();

// A font of JapaneseFamilies() with a character height in pixels.
QFont WindowFont(int pixelHeight, bool bold = false);

}  // namespace rivek
