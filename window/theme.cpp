#include "window/theme.h"

#include <QFontInfo>
#include <QFontMetrics>

void registerFontStandIns() {
    static const bool registered = [] {
        QFont::insertSubstitution(kPGothic, kPGothicStandIn);
        QFont::insertSubstitution(kComicSans, kComicSansStandIn);
        return true;
    }();
    Q_UNUSED(registered);
}

QFont describedFont(const QString& family, double points, bool bold) {
    // The stand-in is named directly, so that no search for the missing family is made.
    QFont font(QFont::substitute(family));
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

QStringList missingColourWordGlyphs() {
    registerFontStandIns();
    const QString words = QStringLiteral("黒青緑赤紫黄灰");
    const QFont font = describedFont(kPGothic, 21.75, true);
    const QFontMetrics metrics(font);
    QString missing;
    for (const QChar word : words)
        if (!metrics.inFont(word)) missing += word;
    if (missing.isEmpty()) return {};
    return {QStringLiteral("tintmaze: the font %1 (for %2) has no glyph for %3; install "
                           "fonts-ipafont-gothic")
                .arg(QFontInfo(font).family(), kPGothic, missing)};
}
