#include "window/controls.h"

#include "window/theme.h"
#include "window/twips.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>
#include <QValidator>
#include <QtMath>

#include <algorithm>

QColor colourFromValue(qint32 value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

bool seenByPlayer(const QWidget* control) {
    return control->isVisible() && !control->visibleRegion().isEmpty();
}

namespace {

constexpr double kPagesPerRange = 16;  // Page Up and Page Down move a slider this part of its range

Qt::Alignment qtAlignment(Align align) {
    switch (align) {
        case Align::Right:
            return Qt::AlignRight;
        case Align::Centre:
            return Qt::AlignHCenter;
        case Align::Left:
            break;
    }
    return Qt::AlignLeft;
}

// Sets colours of the widget's palette, each role to a packed colour value.
void setPaletteColours(QWidget* widget,
                       std::initializer_list<std::pair<QPalette::ColorRole, qint32>> colours) {
    QPalette palette = widget->palette();
    for (const auto& [role, value] : colours) palette.setColor(role, colourFromValue(value));
    widget->setPalette(palette);
}

// The stand-in fonts run a little wider than the ones the window was laid out with: a caption that
// would just miss its one-line label is drawn slightly condensed instead of broken over a line
// that the label cannot show. `needed` is the caption's width in `font`.
QFont fittedFont(const QFont& font, const QFontMetrics& metrics, int needed, const QRect& area) {
    constexpr int kNarrowestStretch = 80;
    if (needed <= 0 || needed <= area.width() || area.height() >= 2 * metrics.lineSpacing())
        return font;
    const int stretch = 100 * area.width() / needed;
    if (stretch < kNarrowestStretch) return font;
    QFont narrower = font;
    narrower.setStretch(stretch);
    return narrower;
}

// Draws a one-pixel outline just inside `area` in whole device pixels: each side is the row or
// column of device pixels nearest to the logical edge, as many device pixels wide as fit whole in
// a logical pixel. At a fractional scale no side falls between pixels, and controls side by side
// draw lines of one width.
void drawOutline(QPainter& painter, const QRect& area, const QColor& colour) {
    const QTransform toDevice = painter.deviceTransform();
    const QRectF outer = toDevice.mapRect(QRectF(area));
    const int left = qRound(outer.left()), top = qRound(outer.top());
    const int width = qRound(outer.right()) - left, height = qRound(outer.bottom()) - top;
    const int line = qMax(1, qFloor(toDevice.m11() + 1e-6));
    const QTransform toLogical = toDevice.inverted();
    for (const QRect& side : {QRect(left, top, width, line), QRect(left, top, line, height),
                              QRect(left, top + height - line, width, line),
                              QRect(left + width - line, top, line, height)})
        painter.fillRect(toLogical.mapRect(QRectF(side)), colour);
}

// Where a one-line caption's text goes in `area`: the area itself, or, when the font's line is
// taller than the area (the stand-in fonts are taller than the described ones), a line whose
// letters are centred between the area's top and bottom instead of standing on its bottom.
// `needed` is the caption's width in the font of `metrics`.
QRect captionArea(const QFontMetrics& metrics, const QString& text, int needed, const QRect& area) {
    if (metrics.height() <= area.height() || needed > area.width()) return area;
    const QRect ink = metrics.tightBoundingRect(text);  // from the baseline
    const int baseline = area.top() + (area.height() - ink.height()) / 2 - ink.top();
    return QRect(area.left(), baseline - metrics.ascent(), area.width(), metrics.height());
}

// Keeps out of a text box every letter its rule refuses, and every letter past its most; the
// cursor stays after what it was after, and what just came in before it is what goes. A text with
// nothing to keep out is left as it is; else `refused` is told what was kept out.
class CharacterFilter : public QValidator {
  public:
    CharacterFilter(QObject* box, std::function<bool(QChar)> accepts, int most,
                    std::function<void(const QStringList&, bool)> refused)
        : QValidator(box),
          accepts_(std::move(accepts)),
          most_(most),
          refused_(std::move(refused)) {}

    State validate(QString& text, int& cursor) const override {
        if (text.size() <= most_ && std::all_of(text.cbegin(), text.cend(), accepts_))
            return Acceptable;
        QString kept;
        QStringList refused;
        int keptBeforeCursor = 0;
        for (qsizetype i = 0; i < text.size();) {
            const bool pair =
                text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
            const QString letter = text.mid(i, pair ? 2 : 1);
            if (std::all_of(letter.cbegin(), letter.cend(), accepts_)) {
                kept += letter;
                if (i < cursor) keptBeforeCursor += int(letter.size());
            } else if (!refused.contains(letter)) {
                refused << letter;
            }
            i += letter.size();
        }
        const int over = int(kept.size()) - most_;
        if (over > 0) {
            const int from = std::clamp(keptBeforeCursor - over, 0, int(kept.size()) - over);
            kept.remove(from, over);
            keptBeforeCursor = qMin(keptBeforeCursor, from);
        }
        text = kept;
        cursor = keptBeforeCursor;
        if (refused_) refused_(refused, over > 0);
        return Acceptable;
    }

  private:
    std::function<bool(QChar)> accepts_;
    int most_;
    std::function<void(const QStringList&, bool)> refused_;
};

}  // namespace

void setBackAndForeColours(QWidget* widget, qint32 back, qint32 fore) {
    setPaletteColours(widget, {{QPalette::Window, back}, {QPalette::WindowText, fore}});
}

void useDesktopColours(QWidget* widget) {
    QPalette desktop = QApplication::palette(widget);
    desktop.setResolveMask(~QPalette::ResolveMask(0));
    widget->setPalette(desktop);
}

// --- Placement and clicks -------------------------------------------------------------------

void Placement::place(qint32 left, qint32 top, qint32 width, qint32 height) {
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    widget_->setGeometry(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                         twipsToPixels(height));
}

void Clickable::pressed(QMouseEvent* event) {
    armed_ = event->button() == Qt::LeftButton;
    event->accept();
}

void Clickable::released(QWidget* self, QMouseEvent* event) {
    event->accept();
    const bool click = armed_ && event->button() == Qt::LeftButton &&
                       self->rect().contains(event->position().toPoint());
    armed_ = false;
    if (click && onClick) onClick();
}

// --- Label ----------------------------------------------------------------------------------

Label::Label(QWidget* container, qint32 backColor, qint32 foreColor)
    : ClickableControl(container), foreColor_(foreColor), backColor_(backColor) {
    setBackAndForeColours(this, backColor, foreColor);
}

void Label::setCaption(const QString& caption) {
    if (caption == caption_) return;
    caption_ = caption;
    tellScreenReadersOfNewName(this);
    update();
}

void Label::setForeColor(qint32 colour) {
    if (colour == foreColor_) return;
    foreColor_ = colour;
    setPaletteColours(this, {{QPalette::WindowText, colour}});
}

void Label::setBackColor(qint32 colour) {
    if (colour == backColor_) return;
    backColor_ = colour;
    setPaletteColours(this, {{QPalette::Window, colour}});
}

void Label::setBackStyle(BackStyle style) {
    backStyle_ = style;
    update();
}

void Label::setBorder(Border border) {
    border_ = border;
    update();
}

void Label::setAlignment(Align align) {
    align_ = align;
    update();
}

QString Label::shownText() const {
    QString text = caption_.left(caption_.indexOf(QChar(0)) < 0 ? caption_.size()
                                                                : caption_.indexOf(QChar(0)));
    while (text.endsWith(QLatin1Char(' '))) text.chop(1);
    return text;
}

QString Label::drawnText() const {
    QString text = shownText();
    if (!elides_) return text;
    const QRect area = border_ == Border::Single ? rect().adjusted(1, 1, -1, -1) : rect();
    const QFontMetrics metrics(font());
    const QFontMetrics fitted(fittedFont(font(), metrics, metrics.horizontalAdvance(text), area));
    return fitted.horizontalAdvance(text) > area.width()
               ? fitted.elidedText(text, Qt::ElideRight, area.width())
               : text;
}

bool Label::captionCut() const {
    return drawnText() != shownText();
}

bool Label::event(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return ClickableControl::event(event);
    if (captionCut())
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), shownText(), this);
    else
        QToolTip::hideText();
    return true;
}

void Label::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setLayoutDirection(layoutDirection());  // the control's, not the language's
    QRect area = rect();
    if (backStyle_ == BackStyle::Opaque) painter.fillRect(area, palette().color(QPalette::Window));
    if (border_ == Border::Single) {
        drawOutline(painter, area, Qt::black);
        area.adjust(1, 1, -1, -1);
    }
    const QString text = shownText();
    // The caption is measured once, in the label's font, for both the fit and the place.
    const QFontMetrics metrics(this->font());
    const int needed = text.isEmpty() ? 0 : metrics.horizontalAdvance(text);
    const QFont font = fittedFont(this->font(), metrics, needed, area);
    const QFontMetrics fitted(font);
    const QRect place = font == this->font()
                            ? captionArea(metrics, text, needed, area)
                            : captionArea(fitted, text, fitted.horizontalAdvance(text), area);
    const QString drawn = drawnText();  // the caption, or the caption cut
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(font);
    painter.drawText(place, qtAlignment(align_) | Qt::AlignTop | Qt::TextWordWrap, drawn);
}

// --- Picture box ----------------------------------------------------------------------------

PictureBox::PictureBox(QWidget* container, const QString& path, qint32 backColor)
    : ClickableControl(container), path_(path) {
    setAutoFillBackground(true);
    setPaletteColours(this, {{QPalette::Window, backColor}});
}

PictureBox::PictureBox(QWidget* container, std::function<void(QPainter&)> drawing, qint32 backColor)
    : PictureBox(container, QString(), backColor) {
    drawing_ = std::move(drawing);
}

const QImage& PictureBox::picture() const {
    if (picture_.isNull() && !path_.isEmpty()) picture_ = readPicture(path_);
    return picture_;
}

void PictureBox::paintEvent(QPaintEvent*) {
    if (!drawing_ && picture().isNull()) return;
    QPainter painter(this);
    if (drawing_)
        drawing_(painter);
    else
        painter.drawImage(0, 0, picture_);
}

void PictureBox::hideEvent(QHideEvent*) {
    if (isHidden()) picture_ = QImage();  // hidden itself, not with the window
}

// --- Push button ----------------------------------------------------------------------------

CommandButton::CommandButton(QWidget* container, const QString& caption)
    : QPushButton(container), Placement(this) {
    setText(caption);  // once it is a command button, for a screen reader too
    // Its caption is drawn in the described colour, whatever colours the desktop gives buttons.
    setPaletteColours(this, {{QPalette::Button, kButtonFace}, {QPalette::ButtonText, kButtonText}});
    // A press that Qt completes later (the access key's short animation) counts only while
    // the button is still there to be pressed.
    connect(this, &QPushButton::clicked, this, [this] {
        if (onClick && isVisible()) onClick();
    });
}

void CommandButton::setBackColor(qint32 colour) {
    setPaletteColours(this, {{QPalette::Button, colour}});
}

void CommandButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setLayoutDirection(layoutDirection());
    const QRect area = rect();
    painter.fillRect(area, palette().color(QPalette::Button));
    const bool down = isDown();
    const QColor light(255, 255, 255), dark(64, 64, 64), shadow(128, 128, 128);
    painter.setPen(down ? dark : light);
    painter.drawLine(area.topLeft(), area.topRight());
    painter.drawLine(area.topLeft(), area.bottomLeft());
    painter.setPen(down ? light : dark);
    painter.drawLine(area.bottomLeft(), area.bottomRight());
    painter.drawLine(area.topRight(), area.bottomRight());
    painter.setPen(shadow);
    painter.drawRect(area.adjusted(1, 1, -2, -2));
    if (hasFocus()) {
        painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
        painter.drawRect(area.adjusted(4, 4, -5, -5));
    }
    painter.setFont(font());
    const QRect textArea = down ? area.translated(1, 1) : area;
    style()->drawItemText(&painter, textArea, Qt::AlignCenter | Qt::TextShowMnemonic, palette(),
                          true, text(), QPalette::ButtonText);
}

// --- Frame ----------------------------------------------------------------------------------

Frame::Frame(QWidget* container, const QString& caption, qint32 back, qint32 fore)
    : ClickableControl(container), caption_(caption) {
    setAutoFillBackground(true);
    setBackAndForeColours(this, back, fore);
}

void Frame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setLayoutDirection(layoutDirection());
    painter.setFont(font());
    const QFontMetrics metrics(font());
    const int titleMiddle = metrics.height() / 2;
    const QRect box = rect().adjusted(0, titleMiddle, -1, -1);
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(box);
    painter.setPen(QColor(255, 255, 255));
    painter.drawRect(box.adjusted(1, 1, 1, 1));
    if (caption_.isEmpty()) return;
    const QRect title(8, 0, metrics.horizontalAdvance(caption_) + 4, metrics.height());
    painter.fillRect(title, palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(title, Qt::AlignCenter, caption_);
}

// --- Text box -------------------------------------------------------------------------------

// The font comes before the text, so that the text is laid out once.
TextBox::TextBox(QWidget* container, const QString& text, const QFont& font)
    : QLineEdit(container), Placement(this) {
    setFont(font);
    setText(text);
    setAcceptDrops(false);  // it takes what is typed, not what is dropped on it
}

void TextBox::setColours(qint32 back, qint32 fore) {
    setPaletteColours(this, {{QPalette::Base, back}, {QPalette::Text, fore}});
}

void TextBox::takeOnly(const std::function<bool(QChar)>& accepts, int most,
                       const std::function<void(const QStringList&, bool)>& refused) {
    setValidator(new CharacterFilter(this, accepts, most, refused));
}

// --- Scroll bar -----------------------------------------------------------------------------

ScrollBar::ScrollBar(QWidget* container, Qt::Orientation orientation, int min, int max, int value)
    : QScrollBar(orientation, container), Placement(this) {
    useDesktopColours(this);  // the arrows stay dark on their light buttons in the colour panel
    setRange(min, max);
    setValue(value);
    setSingleStep(1);
    setPageStep(qMax(1, qRound((max - min) / kPagesPerRange)));
    setFocusPolicy(Qt::StrongFocus);  // arrow keys move a slider that has the focus
    // A vertical slider's arrow keys move its thumb the way they point (Qt's default for scroll
    // bars); on a horizontal one, Right and Up raise the value and Left and Down lower it.
    setInvertedControls(orientation == Qt::Vertical);
    connect(this, &QScrollBar::sliderPressed, this, [this] { valueAtPress_ = this->value(); });
    connect(this, &QScrollBar::valueChanged, this, [this] {
        const auto& handler = isSliderDown() ? onScroll : onChange;
        if (handler) handler();
    });
    connect(this, &QScrollBar::sliderReleased, this, [this] {
        if (this->value() != valueAtPress_ && onChange) onChange();
    });
}

void ScrollBar::paintEvent(QPaintEvent* event) {
    QScrollBar::paintEvent(event);
    if (!hasFocus()) return;
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
}

// --- Line and shape -------------------------------------------------------------------------

Line::Line(QWidget* container) : QWidget(container) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Line::setPoints(qint32 x1, qint32 y1, qint32 x2, qint32 y2) {
    x1_ = x1;
    y1_ = y1;
    x2_ = x2;
    y2_ = y2;
    const QRect span = QRect(QPoint(twipsToPixels(x1), twipsToPixels(y1)),
                             QPoint(twipsToPixels(x2), twipsToPixels(y2)))
                           .normalized();
    setGeometry(span.adjusted(0, 0, 1, 1));
    update();
}

void Line::setBorderColor(qint32 colour) {
    colour_ = colourFromValue(colour);
    update();
}

void Line::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(colour_);
    const QPoint origin = pos();
    painter.drawLine(QPoint(twipsToPixels(x1_), twipsToPixels(y1_)) - origin,
                     QPoint(twipsToPixels(x2_), twipsToPixels(y2_)) - origin);
}

Shape::Shape(QWidget* container) : QWidget(container), Placement(this) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void Shape::setColours(qint32 fill, qint32 outline) {
    fill_ = colourFromValue(fill);
    outline_ = colourFromValue(outline);
    update();
}

void Shape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int side = qMin(QWidget::width(), QWidget::height()) - 1;
    const QRect circle((QWidget::width() - side) / 2, (QWidget::height() - side) / 2, side, side);
    painter.setPen(outline_);
    painter.setBrush(fill_);
    painter.drawEllipse(circle);
}
