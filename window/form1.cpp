// The window's wiring: which handler each event of each control runs, the keys every control
// hands to the window first, and the outside effects of the real game.

#include "window/form1.h"
#include "window/ending.h"
#include "window/theme.h"
#include "window/warningbox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <utility>
#include <vector>

namespace {

constexpr int kShowTimeoutMs = 2000;  // the longest start-up waits for the window to be mapped

// The character code of a typed key, or 0 for a key that types nothing.
qint16 characterCode(const QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return kEnter;
        case Qt::Key_Escape:
            return kEscape;
        default:
            break;
    }
    const QString text = event->text();
    if (text.size() != 1) return 0;
    return static_cast<qint16>(text.at(0).unicode());
}

// The control after `from` in the window's Tab order (before it, when not `next`) that takes the
// focus by Tab and that the player sees; none when no other does.
QWidget* seenControlAfter(QWidget* from, bool next) {
    QWidget* window = from->window();
    for (QWidget* control = from;;) {
        control = next ? control->nextInFocusChain() : control->previousInFocusChain();
        if (control == from) return nullptr;
        if (control != window && control->window() == window &&
            (control->focusPolicy() & Qt::TabFocus) && control->isEnabled() &&
            seenByPlayer(control))
            return control;
    }
}

// Ends `loop` when `window` is exposed.
class ExposeWatch : public QObject {
  public:
    ExposeWatch(QWindow* window, QEventLoop* loop) : window_(window), loop_(loop) {
        window->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Expose && window_->isExposed()) loop_->quit();
        return false;
    }

  private:
    QWindow* window_;
    QEventLoop* loop_;
};

// Waits in the event loop, asleep until something comes, for `window` to be exposed, at most
// `timeoutMs`.
void waitUntilExposed(QWindow* window, int timeoutMs) {
    if (window->isExposed()) return;
    QEventLoop loop;
    const ExposeWatch watch(window, &loop);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

Form1Seams Form1Seams::real() {
    Form1Seams seams;
    seams.warn = showWarningBox;
    seams.missingGlyphs = missingColourWordGlyphs;
    seams.endProgram = [] { endGame(0); };
    seams.tellScreenReaders = ::tellScreenReaders;
    seams.random = std::make_shared<ClockRandom>();
    seams.now = std::chrono::steady_clock::now;
    seams.screenGeometry = [] { return QGuiApplication::primaryScreen()->geometry(); };
    seams.showWindow = [](QWidget* window) {
        window->showFullScreen();
        // The window is on screen, full screen, before the first box is drawn in it.
        waitUntilExposed(window->windowHandle(), kShowTimeoutMs);
    };
    return seams;
}

void Form1::wireEvents() {
    // A window that waits for a data file takes no ticks either: no handler runs meanwhile.
    Timer1.onTimer = [this] {
        if (!waiting()) Timer1_Timer();
    };
    for (qint16 i = 0; i < 4; ++i) Command1[i]->onClick = [this, i] { Command1_Click(i); };
    Picture1->onClick = [this] { Picture1_Click(); };
    Picture2->onClick = [this] { Picture2_Click(); };
    Picture3->onClick = [this] { Picture3_Click(); };
    Frame1->onClick = [this] { Frame1_Click(); };
    for (qint16 i = 0; i < 3; ++i) Label4[i]->onClick = [this, i] { Label4_Click(i); };
    HScroll1->onChange = [this] { HScroll1_Change(); };
    HScroll1->onScroll = [this] { HScroll1_Scroll(); };
}

// The cells and the rows of the best results, built after the window's first frame, are wired as
// they are built.
void Form1::wireBoardEvents() {
    for (qint16 i = 0; i < kCellCount; ++i) Label1[i]->onClick = [this, i] { Label1_Click(i); };
    for (qint16 i = 0; i < kLevelCount; ++i) {
        Label7[i]->onClick = [this, i] { Label7_Click(i); };
        Label8[i]->onClick = [this, i] { Label8_Click(i); };
        Label9[i]->onClick = [this, i] { Label9_Click(i); };
    }
}

// A full-screen window keeps covering its screen when the screen changes size (another mode, a
// docked laptop), also where no window manager resizes it. The native window is resized, so that
// the window stays full screen.
void Form1::followScreens() {
    auto follow = [this](QScreen* changed) {
        connect(changed, &QScreen::geometryChanged, this, [this, changed](const QRect& geometry) {
            if (isFullScreen() && screen() == changed && geometry != this->geometry())
                windowHandle()->setGeometry(geometry);
        });
    };
    for (QScreen* each : QGuiApplication::screens()) follow(each);
    connect(qApp, &QGuiApplication::screenAdded, this, follow);
}

void Form1::mouseReleaseEvent(QMouseEvent* event) {
    background_.onClick = [this] { Form_Click(); };
    background_.released(this, event);
}

// Every typed character reaches Form_KeyPress before the control that has the focus; Enter and
// Escape stop there, every other key goes on to the control. While the colour panel is open,
// Enter presses its "OK" instead of starting a game behind it. Escape ends the program in every
// state, also while the window waits for a data file, when no other key acts. A warning box
// takes the keys typed in it, Escape too, as a box of its own would.
// Every control of the window that is shown or hidden, by any call, passes here too: the focus is
// checked once the change is done.
bool Form1::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    auto* widget = qobject_cast<QWidget*>(watched);
    const bool changed = type == QEvent::ShowToParent || type == QEvent::HideToParent;
    if ((type != QEvent::KeyPress && !changed) || !widget || widget->window() != this) return false;
    if (changed) {
        checkFocusSoon();  // a box or a cover too: the focus is placed once they are gone
        return false;
    }
    if (insideWarningBox(widget)) return false;
    const qint16 code = characterCode(static_cast<QKeyEvent*>(event));
    if (code == kEscape) {
        Form_KeyPress(code);  // ends the game, whatever the window is doing
        return true;
    }
    if (waiting()) return true;  // the window waits for a file: no key acts
    if (code == kEnter && Frame2->visible()) {
        // The colour panel's "OK" is the window's default button while the panel is open.
        Command3_Click();
        return true;
    }
    if (code == kEnter) {
        Form_KeyPress(code);
        return true;
    }
    // Other keys pass on through the focused control and its containers: seen once, first.
    QWidget* focus = QApplication::focusWidget();
    if (code != 0 && watched == (focus ? focus : this)) Form_KeyPress(code);
    return false;
}

// Tab and Shift+Tab pass over the controls the player does not see. A control that goes out of
// sight keeps the focus until the change of screen is done (Qt would walk it on through the
// controls about to go too); keepFocusOnSeenControls then moves it once.
bool Form1::focusNextPrevChild(bool next) {
    QWidget* focus = QApplication::focusWidget();
    if (focus && focus != this && !seenByPlayer(focus)) return true;
    if (QWidget* control = seenControlAfter(focus ? focus : this, next))
        control->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

void Form1::keepFocusOnSeenControls() {
    QWidget* focus = QApplication::focusWidget();
    if (!isActiveWindow() || waiting() || warningBoxShown() ||
        (focus && focus != this && seenByPlayer(focus)))
        return;
    if (QWidget* control = seenControlAfter(this, true))
        control->setFocus(Qt::OtherFocusReason);
    else if (focus != this)
        setFocus(Qt::OtherFocusReason);
}

void Form1::checkFocusSoon() {
    if (std::exchange(focusCheckPending_, true)) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            focusCheckPending_ = false;
            keepFocusOnSeenControls();
        },
        Qt::QueuedConnection);
}

// Closing the window (its close button, Alt+F4, the desktop's menu) ends the game as Escape does,
// at any moment.
void Form1::closeEvent(QCloseEvent* event) {
    event->ignore();
    seams_.endProgram();
}

void Form1::warnOfMissingFonts() {
    const QStringList missing = seams_.missingGlyphs ? seams_.missingGlyphs() : QStringList();
    if (!missing.isEmpty())
        seams_.warn(this, kMissingFontTitle, kMissingFontText, missing.join(QLatin1Char('\n')));
}

// The colour panel's contents, built after the window's first frame, are wired as they are built.
void Form1::wirePanelEvents() {
    for (qint16 i = 0; i < kSliderCount; ++i) {
        VScroll1[i]->onChange = [this, i] { VScroll1_Change(i); };
        VScroll1[i]->onScroll = [this, i] { VScroll1_Scroll(i); };
    }
    Command2->onClick = [this] { Command2_Click(); };
    Command3->onClick = [this] { Command3_Click(); };
    Command4->onClick = [this] { Command4_Click(); };
    // Tab goes through the panel as it reads, left to right: the sliders, then "Default", "OK"
    // and "Cansel".
    std::vector<QWidget*> tabOrder(VScroll1.begin(), VScroll1.end());
    tabOrder.insert(tabOrder.end(), {Command2, Command3, Command4});
    for (size_t i = 1; i < tabOrder.size(); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);
}
