#include "window/theme.h"

void registerFontStandIns() {
    static const bool registered = [] {
        QFont::insertSubstitution(kPGothic, kPGothicStandIn);
        QFont::insertSubstitution(kComicSans, kComicSansStandIn);
        return true;
    }();
    Q_UNUSED(registered);
}

QFont describedFont(const QString& family, double points, bool bold) {
    QFont font(family);
    font.setPointSizeF(points);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}
