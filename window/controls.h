#pragma once
// The control kinds the window is built from, a thin layer over Qt widgets that speaks the
// window description's language: geometry in twips, captions, colour values (red + 256 green
// + 65536 blue), back style, border, alignment, visibility and click / change / scroll events.

#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>
#include <QWidget>

#include <functional>

// A packed colour value as a QColor.
QColor colourFromValue(qint32 value);

// The background and text colours of the window or of a control the game draws.
void setBackAndForeColours(QWidget* widget, qint32 back, qint32 fore);

// Gives the widget the desktop's own colours, whatever colours its containers set: every role
// of the application's palette is set on it.
void useDesktopColours(QWidget* widget);

enum class BackStyle { Transparent, Opaque };
enum class Border { None, Single };
enum class Align { Left, Right, Centre };

// The geometry in twips every control keeps; reading a property back gives exactly what was set.
// Width and height say their unit, since QWidget's own width() and height() are in pixels.
class Placement {
  public:
    explicit Placement(QWidget* widget) : widget_(widget) {}
    qint32 left() const { return left_; }
    qint32 top() const { return top_; }
    qint32 twipsWidth() const { return width_; }
    qint32 twipsHeight() const { return height_; }
    void setTop(qint32 top) { place(left_, top, width_, height_); }
    void place(qint32 left, qint32 top) { place(left, top, width_, height_); }  // keeps the size
    void place(qint32 left, qint32 top, qint32 width, qint32 height);
    // The control's own visibility, whatever its container shows: Qt's one flag, which
    // setVisible(), show() and hide() change, called on the control or through a QWidget*.
    bool visible() const { return !widget_->isHidden(); }

  private:
    QWidget* widget_;
    qint32 left_ = 0, top_ = 0, width_ = 0, height_ = 0;
};

// Mouse handling shared by the kinds that take clicks: a press and release inside the control
// is one click; the control keeps the click even without a handler.
class Clickable {
  public:
    std::function<void()> onClick;

  protected:
    void pressed(QMouseEvent* event);
    void released(QWidget* self, QMouseEvent* event);

  private:
    bool armed_ = false;
};

// A control the game draws itself that takes clicks.
class ClickableControl : public QWidget, public Placement, public Clickable {
  public:
    explicit ClickableControl(QWidget* container) : QWidget(container), Placement(this) {}

  protected:
    void mousePressEvent(QMouseEvent* e) override { pressed(e); }
    void mouseReleaseEvent(QMouseEvent* e) override { released(this, e); }
};

// Label: text drawn on its container, optionally over a filled rectangle and inside a border.
class Label : public ClickableControl {
  public:
    // A label drawn in its own colours, not those it would inherit from its container.
    Label(QWidget* container, qint32 backColor, qint32 foreColor);
    QString caption() const { return caption_; }
    void setCaption(const QString& caption);
    qint32 foreColor() const { return foreColor_; }
    void setForeColor(qint32 colour);
    qint32 backColor() const { return backColor_; }
    void setBackColor(qint32 colour);
    BackStyle backStyle() const { return backStyle_; }
    void setBackStyle(BackStyle style);
    void setBorder(Border border);
    void setAlignment(Align align);
    // The caption as drawn: up to its first NUL character, trailing spaces dropped.
    QString shownText() const;
    // Whether a screen reader hears of it (the default); one drawn where it is not meant to be
    // read is not.
    bool heardByScreenReaders() const { return heard_; }
    void setHeardByScreenReaders(bool heard) { heard_ = heard; }
    // A one-line label that cuts a caption too long for it with "…", and shows it whole in a
    // tooltip on hover (a screen reader always hears it whole).
    void setElidesLongCaption(bool elides) { elides_ = elides; }
    // The caption as drawn: shownText(), or its start and "…" where the label cuts it.
    QString drawnText() const;
    bool captionCut() const;

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent*) override;

  private:
    QString caption_;
    qint32 foreColor_, backColor_;
    BackStyle backStyle_ = BackStyle::Opaque;
    Border border_ = Border::None;
    Align align_ = Align::Left;
    bool heard_ = true;
    bool elides_ = false;
};

// Picture box: a container showing its picture unscaled from the top-left corner, clipped.
class PictureBox : public ClickableControl {
  public:
    // Shows the picture in the file or resource at `path`, read when it is drawn; a hidden box
    // lets go of it.
    PictureBox(QWidget* container, const QString& path, qint32 backColor);
    // Shows a picture that `drawing` paints, holding no pixels of its own.
    PictureBox(QWidget* container, std::function<void(QPainter&)> drawing, qint32 backColor);
    const QImage& picture() const;

  protected:
    void paintEvent(QPaintEvent*) override;
    void hideEvent(QHideEvent*) override;

  private:
    QString path_;
    std::function<void(QPainter&)> drawing_;
    mutable QImage picture_;
};

// Push button; a "coloured" one is drawn filled with its background colour.
class CommandButton : public QPushButton, public Placement {
  public:
    CommandButton(QWidget* container, const QString& caption);
    std::function<void()> onClick;
    void setBackColor(qint32 colour);

  protected:
    void paintEvent(QPaintEvent*) override;
};

// Frame: a titled container. Shown, it covers the controls behind it (see seenByPlayer).
class Frame : public ClickableControl {
  public:
    Frame(QWidget* container, const QString& caption, qint32 back, qint32 fore);
    QString caption() const { return caption_; }

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QString caption_;
};

// Single-line text box.
class TextBox : public QLineEdit, public Placement {
  public:
    TextBox(QWidget* container, const QString& text, const QFont& font);
    void setColours(qint32 back, qint32 fore);
    // From now on the box takes only the characters `accepts` takes, and at most `most` of them,
    // however they come in (typed, pasted, committed by an input method, set): any other never
    // appears in it. `refused` is told, as it happens, the letters kept out (a pair of surrogates
    // as one) and whether the box was full.
    void takeOnly(const std::function<bool(QChar)>& accepts, int most,
                  const std::function<void(const QStringList&, bool)>& refused);
};

// Scroll bar used as a slider, in the desktop's colours (not its container's). A change of value,
// by the player or the program, fires onChange; dragging the thumb fires onScroll while it moves
// and onChange when it is let go at a new value. Setting the value it already has fires nothing.
class ScrollBar : public QScrollBar, public Placement {
  public:
    ScrollBar(QWidget* container, Qt::Orientation orientation, int min, int max, int value);
    std::function<void()> onChange;
    std::function<void()> onScroll;
    // The value the window shows for a value of the slider, and back, where it is not the value
    // itself: a screen reader hears the value shown. Its name (setAccessibleName) is what it sets.
    // Page Up and Page Down move it by a sixteenth of its range.
    std::function<int(int)> shownValue;

  protected:
    void paintEvent(QPaintEvent* event) override;  // with a focus frame, as the buttons have

  private:
    int valueAtPress_ = 0;
};

// What a screen reader hears of the control kinds: a role; a name, the control's caption or, for
// a slider, its accessible name; the value a slider shows; and a control the player does not see
// as not showing. Installed once, before the first control is built; nothing is made for a screen
// reader until one asks.
void describeControlsToScreenReaders();

// Tells a listening screen reader that the control's name changed; nothing when none listens.
void tellScreenReadersOfNewName(QWidget* control);

// Tells a listening screen reader `words` as soon as the change of screen under way is done,
// wherever the focus is, which stays: the window's notice, an object of no size, is named `words`
// and shown anew, as a notification a screen reader speaks when it shows (Orca does). Nothing is
// made while none listens.
void tellScreenReaders(QWidget* window, const QString& words);

// A screen reader reads the window's controls in screen order, as it reads every control's
// children: row by row from the top, each row from the left, whatever their stacking.
void readChildrenInScreenOrder(QWidget* window);

// Whether the player sees the control: it is shown, and no shown container in front of it (a
// frame, a warning box) covers it whole.
bool seenByPlayer(const QWidget* control);

// Straight line between two points of its container; takes no clicks.
class Line : public QWidget {
  public:
    explicit Line(QWidget* container);
    qint32 y1() const { return y1_; }
    qint32 y2() const { return y2_; }
    void setPoints(qint32 x1, qint32 y1, qint32 x2, qint32 y2);
    void setBorderColor(qint32 colour);

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    qint32 x1_ = 0, y1_ = 0, x2_ = 0, y2_ = 0;
    QColor colour_;
};

// Circle shape filled with one colour and outlined with another; takes no clicks.
class Shape : public QWidget, public Placement {
  public:
    explicit Shape(QWidget* container);
    void setColours(qint32 fill, qint32 outline);

  protected:
    void paintEvent(QPaintEvent*) override;

  private:
    QColor fill_, outline_;
};
