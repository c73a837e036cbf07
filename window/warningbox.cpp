#include "window/warningbox.h"

#include "window/controls.h"

#include <QApplication>
#include <QEventLoop>
#include <QFrame>
#include <QGridLayout>
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

// The box itself: a raised panel in the desktop's colours and reading direction, its title in a
// bar across its top over the message box's icon, text, reason line and OK button.
class BoxPanel : public QFrame {
  public:
    BoxPanel(QWidget* cover, const QString& title, const QString& text, const QString& detail)
        : QFrame(cover) {
        setFrameStyle(QFrame::Panel | QFrame::Raised);
        setLineWidth(2);
        setAutoFillBackground(true);
        useDesktopColours(this);
        setLayoutDirection(QGuiApplication::layoutDirection());
        auto* titleBar = new QLabel(title, this);
        titleBar->setAutoFillBackground(true);
        titleBar->setBackgroundRole(QPalette::Highlight);
        titleBar->setForegroundRole(QPalette::HighlightedText);
        titleBar->setAlignment(Qt::AlignCenter);
        titleBar->setMargin(titleBar->fontMetrics().height() / 4);
        message = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
        message->setInformativeText(detail);
        message->setAccessibleName(title);  // a screen reader's alert, named as a box of its own
        message->setWindowFlags(Qt::Widget);
        message->setAttribute(Qt::WA_Moved);  // its layout places it, not a dialog's centring
        auto* column = new QVBoxLayout(this);
        column->setContentsMargins(lineWidth(), lineWidth(), lineWidth(), lineWidth());
        column->setSpacing(0);
        column->addWidget(titleBar);
        column->addWidget(message);
    }
    QMessageBox* message;
};

// A cover over the whole window with the box in its middle. Clicks on the cover stop there; the
// window's access keys do not act while it is up; Tab stays on OK.
class BoxCover : public QWidget {
  public:
    BoxCover(QWidget* owner, const QString& title, const QString& text, const QString& detail)
        : QWidget(owner), panel_(new BoxPanel(this, title, text, detail)) {
        setAttribute(Qt::WA_NoMousePropagation);
        (new QGridLayout(this))->addWidget(panel_, 0, 0, Qt::AlignCenter);
        owner->installEventFilter(this);
    }

    void exec() {
        const QPointer<QWidget> focus = QApplication::focusWidget();
        setGeometry(parentWidget()->rect());
        raise();
        show();
        panel_->message->button(QMessageBox::Ok)->setFocus();
        QEventLoop answered;
        connect(panel_->message, &QDialog::finished, &answered, &QEventLoop::quit);
        answered.exec(QEventLoop::DialogExec);
        hide();
        if (focus) focus->setFocus();  // typing goes on where it was
    }

  protected:
    bool event(QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride) return QWidget::event(event);
        event->accept();  // a key of an access key comes as a key to the box, not as a shortcut
        return true;
    }
    bool focusNextPrevChild(bool) override { return true; }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parentWidget() && event->type() == QEvent::Resize)
            setGeometry(parentWidget()->rect());
        return false;
    }

  private:
    BoxPanel* panel_;
};

// A file descriptor kept in reserve for a box: drawing one may need a descriptor for a moment
// (whatever Qt opens to draw it, a font or an icon), which where the game may open no more files
// would never come, and the box would not show.
int reservedDescriptor = -1;

void reserveDescriptor() {
    if (reservedDescriptor < 0) reservedDescriptor = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

}  // namespace

void showWarningBox(QWidget* owner, const QString& title, const QString& text,
                    const QString& detail) {
    if (reservedDescriptor >= 0) ::close(std::exchange(reservedDescriptor, -1));
    BoxCover(owner, title, text, detail).exec();
    reserveDescriptor();
}

void prepareWarningBoxes(const QStringList& texts) {
    BoxPanel box(nullptr, texts.value(0), texts.join(QLatin1Char('\n')), texts.value(0));
    QPixmap drawn(box.sizeHint());
    box.render(&drawn);
    reserveDescriptor();
}
