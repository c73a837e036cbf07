#pragma once
// Fonts and desktop colours of the window description.

#include <QCursor>
#include <QFont>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>

// The desktop theme's colours, as packed colour values.
constexpr qint32 kWindowBackground = 0xFFFFFF;
constexpr qint32 kWindowText = 0x000000;
constexpr qint32 kButtonFace = 0xF0F0F0;
constexpr qint32 kButtonText = 0x000000;

// The game's name as a desktop shows it.
inline const QString kGameName = QStringLiteral("Tintmaze");

// The font families the window is described with; registerFontStandIns() maps them to the fonts
// a Debian desktop has.
inline const QString kPGothic = QStringLiteral("ＭＳ Ｐゴシック");
inline const QString kComicSans = QStringLiteral("Comic Sans MS");
inline const QString kPGothicStandIn = QStringLiteral("IPAPGothic");
inline const QString kComicSansStandIn = QStringLiteral("Comic Neue");

// Registers the stand-ins as substitutions of the described families (once per process).
void registerFontStandIns();

// Captions are laid out in twips, so their text is sized in pixels as a 96 dpi screen shows the
// described points, whatever resolution the desktop gives its fonts.
constexpr double kLayoutDotsPerInch = 96;
constexpr double kPointsPerInch = 72;

// A font of the description: family, size in points as stored, bold (weight 700) or regular.
QFont describedFont(const QString& family, double points, bool bold = false);

// The window's default user-interface font, sized in pixels like describedFont.
QFont defaultFont();

// The game's pointer for a screen of the given device pixel ratio: the 32-pixel arrow, drawn at
// twice its size (pixel for pixel, so it stays crisp) from a ratio of 1.5 on, its tip the hot spot.
// X11 takes the hot spot in pixels of the picture, Wayland and others in logical pixels.
QCursor gamePointer(qreal devicePixelRatio, bool hotSpotInPicturePixels);

// Whether this desktop takes a pointer's hot spot in pixels of its picture.
bool hotSpotInPicturePixels();

// The board's picture, painted from its top-left corner: white, with a black edge of five pixels
// that fades to white over the next six, one shade a pixel.
void paintBoard(QPainter& painter);

// The window icon at 16, 22, 24, 32, 48, 64 and 128 pixels.
QIcon gameIcon();

// One of the game's own pictures (":/assets/..."), read as the format its name ends in, so that
// no image plugin is loaded to guess it.
QImage readPicture(const QString& path);

// What is missing for drawing the colour words: one line for each described family whose font
// lacks a glyph of a colour word (kColourWords); empty when all is well.
QStringList missingColourWordGlyphs();

// The box that says so, in words every font draws.
inline const QString kMissingFontTitle = QStringLiteral("Tintmaze: a font is missing");
inline const QString kMissingFontText = QStringLiteral(
    "No font on this computer draws the colour words, so they show as empty boxes. "
    "Install the font they need (on Debian: fonts-ipafont-gothic), then start the "
    "game again.");
