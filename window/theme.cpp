#include "window/theme.h"

#include "game/rules.h"

#include <QApplication>
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

namespace {

constexpr QPoint kPointerTip(15, 15);     // the arrow's tip in the pointer's picture
constexpr qreal kFinePointerRatio = 1.5;  // from this device pixel ratio on, the pointer is doubled

// The icon's renderings, by size in pixels.
constexpr struct {
    int size;
    const char* file;
} kIcons[] = {{48, ":/assets/icon.png"},
              {64, ":/assets/icon-64.png"},
              {128, ":/assets/icon-128.png"},
              {256, ":/assets/icon-256.png"}};

int layoutPixels(double points) {
    return qRound(points * kLayoutDotsPerInch / kPointsPerInch);
}

}  // namespace

QFont describedFont(const QString& family, double points, bool bold) {
    // The stand-in is named directly, so that no search for the missing family is made.
    QFont font(QFont::substitute(family));
    font.setPixelSize(layoutPixels(points));
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    return font;
}

QFont defaultFont() {
    QFont font = QApplication::font();
    if (font.pointSizeF() > 0) font.setPixelSize(layoutPixels(font.pointSizeF()));
    return font;
}

QCursor gamePointer(qreal devicePixelRatio, bool hotSpotInPicturePixels) {
    const int scale = devicePixelRatio >= kFinePointerRatio ? 2 : 1;
    const QImage arrow(QStringLiteral(":/assets/pointer.png"));
    QPixmap pixmap = QPixmap::fromImage(
        arrow.scaled(arrow.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    pixmap.setDevicePixelRatio(scale);
    const QPoint hotSpot = hotSpotInPicturePixels ? kPointerTip * scale : kPointerTip;
    return QCursor(pixmap, hotSpot.x(), hotSpot.y());
}

bool hotSpotInPicturePixels() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

QIcon gameIcon() {
    QIcon icon;
    for (const auto& rendering : kIcons)
        icon.addFile(QString::fromLatin1(rendering.file), QSize(rendering.size, rendering.size));
    return icon;
}

QStringList missingColourWordGlyphs() {
    registerFontStandIns();
    const QString words = QString::fromUtf16(kColourWords, kColourCount);
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
