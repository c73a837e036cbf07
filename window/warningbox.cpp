#include "window/warningbox.h"

#include "window/controls.h"
#include "window/taskbar.h"

#include <QApplication>
#include <QEventLoop>
#include <QFrame>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <fcntl.h>
#include <unistd.h>

#include <utility>

namespace {

// A box in a window of its own: centred on the game's window once the box has its final size,
// which is only known when it is shown, and in the desktop's own colours rather than the game's.
class WarningBox : public QMessageBox {
  public:
    WarningBox(QWidget* owner, const QString& title, const QString& text, const QString& detail)
        : QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, owner) {
        setInformativeText(detail);
        useDesktopColours(this);
        if (owner) keepOffTaskBar(this);
    }

  protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);  // sizes the box
        if (parentWidget())
            move(pos() + parentWidget()->geometry().center() - frameGeometry().center());
    }
};

// A box drawn inside the game's window: a raised panel in the desktop's colours, its title in a
// bar across its top over the message box's icon, text and button, centred on a cover that lies
// over the whole window. While it is up, it takes every key and every click on the window
// outside the panel: Enter, Escape or Space answer it, as they answer a box of its own.
class BoxInWindow : public QWidget {
  public:
    BoxInWindow(QWidget* owner, const QString& title, const QString& text, const QString& detail)
        : QWidget(owner) {
        panel_ = new QFrame(this);
        panel_->setFrameStyle(QFrame::Panel | QFrame::Raised);
        panel_->setLineWidth(2);
        panel_->setAutoFillBackground(true);
        useDesktopColours(panel_);
        auto* titleBar = new QLabel(title, panel_);
        titleBar->setAutoFillBackground(true);
        titleBar->setBackgroundRole(QPalette::Highlight);
        titleBar->setForegroundRole(QPalette::HighlightedText);
        titleBar->setAlignment(Qt::AlignCenter);
        titleBar->setMargin(titleBar->fontMetrics().height() / 4);
        message_ = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, panel_);
        message_->setInformativeText(detail);
        message_->setWindowFlags(Qt::Widget);
        message_->setAttribute(Qt::WA_Moved);  // its layout places it, not a dialog's centring
        auto* column = new QVBoxLayout(panel_);
        column->setContentsMargins(panel_->lineWidth(), panel_->lineWidth(), panel_->lineWidth(),
                                   panel_->lineWidth());
        column->setSpacing(0);
        column->addWidget(titleBar);
        column->addWidget(message_);
        (new QGridLayout(this))->addWidget(panel_, 0, 0, Qt::AlignCenter);
    }

    void exec() {
        const QPointer<QWidget> focus = QApplication::focusWidget();
        setGeometry(parentWidget()->rect());
        raise();
        show();
        message_->button(QMessageBox::Ok)->setFocus();
        QEventLoop answered;
        connect(message_, &QDialog::finished, &answered, &QEventLoop::quit);
        qApp->installEventFilter(this);
        answered.exec(QEventLoop::DialogExec);
        qApp->removeEventFilter(this);
        hide();
        if (focus) focus->setFocus();  // typing goes on where it was, as after a box of its own
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Resize:
                if (watched == parentWidget()) setGeometry(parentWidget()->rect());
                return false;
            case QEvent::KeyPress:
                if (answers(static_cast<QKeyEvent*>(event)->key())) message_->accept();
                return true;
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
                return !insidePanel(watched);
            default:
                return false;
        }
    }

  private:
    static bool answers(int key) {
        return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape ||
               key == Qt::Key_Space;
    }
    bool insidePanel(QObject* watched) const {
        auto* widget = qobject_cast<QWidget*>(watched);
        return widget && (widget == panel_ || panel_->isAncestorOf(widget));
    }

    QFrame* panel_;
    QMessageBox* message_;
};

// A file descriptor kept in reserve for a box: a window of its own takes one for a moment (the
// memory it is drawn in, shared with the display), which where the game may open no more files
// would never come, and the box would stand unpainted, taking no answer.
int reservedDescriptor = -1;

void reserveDescriptor() {
    if (reservedDescriptor < 0) reservedDescriptor = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

}  // namespace

BoxPlace boxPlaceOnThisDesktop() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"))
               ? BoxPlace::InsideOwner
               : BoxPlace::OwnWindow;
}

void showWarningBox(QWidget* owner, const QString& title, const QString& text,
                    const QString& detail, BoxPlace place) {
    if (reservedDescriptor >= 0) ::close(std::exchange(reservedDescriptor, -1));
    if (place == BoxPlace::InsideOwner && owner && owner->isVisible())
        BoxInWindow(owner, title, text, detail).exec();
    else
        WarningBox(owner, title, text, detail).exec();
    reserveDescriptor();
}

void prepareWarningBoxes(const QStringList& texts) {
    WarningBox box(nullptr, texts.value(0), texts.join(QLatin1Char('\n')), texts.value(0));
    QPixmap drawn(box.sizeHint());
    box.render(&drawn);
    reserveDescriptor();
}
