#include "window/window_fonts.h"

#include <QFontDatabase>

namespace rivek {

QStringList JapaneseFamilies() {
    // The first is the face the window was laid out with; the others are
    // proportional gothic faces of Japanese desktops, most common first.
    // Each of them has the half-width katakana.
    static const char* const kCandidates[] = {
        "ＭＳ Ｐゴシック", "MS PGothic",
        "IPAPGothic", "IPA Pゴシック",
        "VL PGothic", "TakaoPGothic",
        "Noto Sans CJK JP", "Noto Sans JP", "Source Han Sans JP",
        "IPAexGothic", "IPAGothic", "Droid Sans Japanese",
    };
    const QStringList installed = QFontDatabase::families();
    QStringList families;
    for (const char* candidate : kCandidates) {
        const QString family = QString::fromUtf8(candidate);
        if (installed.contains(family, Qt::CaseInsensitive)) families << family;
    }
    return families;
}

QFont WindowFont(int pixelHeight, bool bold) {
    QFont font;
    const QStringList families = JapaneseFamilies();
    // Qt takes a glyph missing in the first face from the next one.
    if (!families.isEmpty()) font.setFamilies(families);
    font.setPixelSize(pixelHeight);
    font.setBold(bold);
    return font;
}

}  // namespace rivek
