#include "window/warningbox.h"

#include "window/controls.h"
#include "window/cover.h"
#include "window/theme.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStyle>
#include <QVBoxLayout>

#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace {

// The desktop's font, with the board's Japanese font for the kana and kanji it lacks: the font
// file the board has loaded, not another one found for the box.
QFont boxFont() {
    QFont font = QApplication::font();
    font.setFamilies({font.family(), kPGothicStandIn});
    return font;
}

// A style for the box's row of buttons, the desktop's in all but one thing: its buttons bear no
// pictures, so that none is looked up in the desktop's icon theme.
class PlainButtonsStyle : public QProxyStyle {
  public:
    PlainButtonsStyle() : QProxyStyle(QApplication::style()->name()) {}
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returned) const override {
        if (hint == SH_DialogButtonBox_ButtonsHaveIcons) return 0;
        return QProxyStyle::styleHint(hint, option, widget, returned);
    }
};

// The box itself: a raised panel in the desktop's colours and reading direction, its title in a
// bar across its top over the message box's warning picture, text, reason line and OK button.
// What it draws is found without opening a file: the picture is the style's own, not the icon
// theme's, and its letters are in fonts already loaded (boxFont). The message box gets no window
// title, which it would measure in the desktop's font alone.
class BoxPanel : public QFrame {
  public:
    BoxPanel(QWidget* cover, const QString& title, const QString& text, const QString& detail)
        : QFrame(cover) {
        setFrameStyle(QFrame::Panel | QFrame::Raised);
        setLineWidth(2);
        setAutoFillBackground(true);
        useDesktopColours(this);
        setLayoutDirection(QGuiApplication::layoutDirection());
        setFont(boxFont());
        auto* titleBar = new QLabel(title, this);
        titleBar->setAutoFillBackground(true);
        titleBar->setBackgroundRole(QPalette::Highlight);
        titleBar->setForegroundRole(QPalette::HighlightedText);
        titleBar->setAlignment(Qt::AlignCenter);
        titleBar->setMargin(titleBar->fontMetrics().height() / 4);
        message = new QMessageBox(this);
        message->setIconPixmap(style()->standardPixmap(QStyle::SP_MessageBoxWarning));
        message->setText(text);
        message->setInformativeText(detail);
        auto* buttons = message->findChild<QDialogButtonBox*>();
        auto* plain = new PlainButtonsStyle;
        plain->setParent(message);  // after the buttons, so it is deleted after them
        buttons->setStyle(plain);
        message->setStandardButtons(QMessageBox::Ok);
        message->setAccessibleName(title);  // a screen reader's alert, named as a box of its own
        message->setWindowFlags(Qt::Widget);
        message->setFont(font());             // made as a dialog, it did not take its container's
        message->setAttribute(Qt::WA_Moved);  // its layout places it, not a dialog's centring
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(lineWidth(), lineWidth(), lineWidth(), lineWidth());
        column->setSpacing(0);
        column->addWidget(titleBar);
        column->addWidget(message);
    }
    QMessageBox* message;
};

int boxesShown = 0;  // the boxes on the screen, one at a time but for a box over a box

// A cover over the whole window with the box in its middle; Tab stays on OK.
class BoxCover : public Cover {
  public:
    BoxCover(QWidget* owner, const QString& title, const QString& text, const QString& detail)
        : Cover(owner), panel_(new BoxPanel(this, title, text, detail)) {
        (new QGridLayout(this))->addWidget(panel_, 0, 0, Qt::AlignCenter);
    }

    void exec() {
        const QScopedValueRollback shown(boxesShown, boxesShown + 1);
        QEventLoop answered;
        connect(panel_->message, &QDialog::finished, &answered, &QEventLoop::quit);
        coverDuring(answered, panel_->message->button(QMessageBox::Ok), QEventLoop::DialogExec);
    }

  private:
    BoxPanel* panel_;
};

// Drawing a box may open a file for a moment (a font's file the first time its letters are
// drawn); where the game may open no more files (the player's limit), no descriptor would come and
// the box would not show. So one descriptor is kept: each box closes it for its drawing, and it is
// taken again after the box, at whatever number is free then.
int keptDescriptor = -1;

}  // namespace

void showWarningBox(QWidget* owner, const QString& title, const QString& text,
                    const QString& detail) {
    if (keptDescriptor >= 0) ::close(std::exchange(keptDescriptor, -1));
    // A box answered stays, hidden and whole, until the next one is answered: a screen reader
    // running late still reads its words, and no new box takes its objects' names meanwhile.
    static QPointer<BoxCover> answered;
    auto* box = new BoxCover(owner, title, text, detail);
    box->exec();
    delete std::exchange(answered, box);
    keepADescriptorForBoxes();
}

void keepADescriptorForBoxes() {
    if (keptDescriptor < 0) keptDescriptor = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

bool warningBoxShown() {
    return boxesShown > 0;
}

bool insideWarningBox(const QWidget* widget) {
    for (; widget; widget = widget->parentWidget())
        if (dynamic_cast<const BoxCover*>(widget)) return true;
    return false;
}
