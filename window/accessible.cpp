// What a screen reader hears of the control kinds. Nothing is made for it until one asks: each
// name, value and state is read from the control at the moment it is asked for.

#include "window/controls.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

#include <algorithm>

namespace {

const QString kNoticeName = QStringLiteral("screenReaderNotice");
const char* const kScreenOrder = "readInScreenOrder";  // a window's own, as a control's

// The children of `container` as the screen shows them: rows from the top, each a run of
// children whose tops lie above the lowest bottom of the row so far, and each row from the left.
QWidgetList inScreenOrder(const QWidget* container) {
    QWidgetList children = container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    children.removeIf([](const QWidget* child) { return child->isWindow(); });
    std::stable_sort(children.begin(), children.end(),
                     [](const QWidget* a, const QWidget* b) { return a->y() < b->y(); });
    for (qsizetype start = 0; start < children.size();) {
        qsizetype end = start + 1;
        for (int bottom = children[start]->geometry().bottom();
             end < children.size() && children[end]->y() <= bottom; ++end)
            bottom = qMax(bottom, children[end]->geometry().bottom());
        std::stable_sort(children.begin() + start, children.begin() + end,
                         [](const QWidget* a, const QWidget* b) { return a->x() < b->x(); });
        start = end;
    }
    return children;
}

// The name a screen reader hears: a label's caption as drawn (none for a label not meant to be
// read), a frame's caption, a button's text without the access key's mark, and otherwise the name
// the control was given (a slider's: what it sets).
QString heardName(const QWidget* control) {
    if (!control) return {};  // the control is gone
    if (const auto* label = dynamic_cast<const Label*>(control))
        return label->heardByScreenReaders() ? label->shownText() : QString();
    if (const auto* frame = dynamic_cast<const Frame*>(control)) return frame->caption();
    if (const auto* button = dynamic_cast<const CommandButton*>(control))
        return QString(button->text()).remove(QLatin1Char('&'));
    return control->accessibleName();
}

// The kinds as a screen reader hears of them; Qt's own interfaces serve the text boxes, the line
// and the shape. A control the player does not see, or a label not meant to be read, is not
// showing.
class ControlAccessible : public QAccessibleWidget {
  public:
    using QAccessibleWidget::QAccessibleWidget;

    // The children, in screen order.
    int childCount() const override { return int(children().size()); }
    QAccessibleInterface* child(int index) const override {
        const QWidgetList list = children();
        return index >= 0 && index < list.size()
                   ? QAccessible::queryAccessibleInterface(list[index])
                   : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child ? int(children().indexOf(qobject_cast<QWidget*>(child->object()))) : -1;
    }

    QString text(QAccessible::Text kind) const override {
        if (kind != QAccessible::Name || widget()->isWindow()) return QAccessibleWidget::text(kind);
        return heardName(widget());
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        const auto* label = dynamic_cast<const Label*>(widget());
        if (!seenByPlayer(widget()) || (label && !label->heardByScreenReaders())) {
            state.invisible = true;
            state.focusable = false;
        }
        return state;
    }

  private:
    QWidgetList children() const { return inScreenOrder(widget()); }
};

// The window's notice for screen readers: no size, nothing drawn, no focus.
class Notice : public QWidget {
  public:
    explicit Notice(QWidget* window) : QWidget(window) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setFocusPolicy(Qt::NoFocus);
        setGeometry(0, 0, 0, 0);
        setObjectName(kNoticeName);
    }
};

// A slider reports the value the window shows for it.
class SliderAccessible : public ControlAccessible, public QAccessibleValueInterface {
  public:
    explicit SliderAccessible(ScrollBar* bar) : ControlAccessible(bar, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return ControlAccessible::interface_cast(type);
    }
    QVariant currentValue() const override { return shown(bar()->value()); }
    void setCurrentValue(const QVariant& value) override { bar()->setValue(shown(value.toInt())); }
    QVariant maximumValue() const override {
        return qMax(shown(bar()->minimum()), shown(bar()->maximum()));
    }
    QVariant minimumValue() const override {
        return qMin(shown(bar()->minimum()), shown(bar()->maximum()));
    }
    QVariant minimumStepSize() const override { return bar()->singleStep(); }

  private:
    ScrollBar* bar() const { return static_cast<ScrollBar*>(widget()); }
    int shown(int value) const { return bar()->shownValue ? bar()->shownValue(value) : value; }
};

QAccessibleInterface* controlAccessible(const QString&, QObject* object) {
    auto* control = qobject_cast<QWidget*>(object);
    if (auto* bar = dynamic_cast<ScrollBar*>(control)) return new SliderAccessible(bar);
    if (dynamic_cast<Notice*>(control))
        return new QAccessibleWidget(control, QAccessible::Notification);
    if (control && control->isWindow() && control->property(kScreenOrder).toBool())
        return new ControlAccessible(control, QAccessible::Window);
    const QAccessible::Role role = dynamic_cast<Label*>(control)           ? QAccessible::StaticText
                                   : dynamic_cast<CommandButton*>(control) ? QAccessible::Button
                                   : dynamic_cast<Frame*>(control)         ? QAccessible::Grouping
                                   : dynamic_cast<PictureBox*>(control)    ? QAccessible::Graphic
                                                                           : QAccessible::NoRole;
    return role == QAccessible::NoRole ? nullptr : new ControlAccessible(control, role);
}

}  // namespace

void describeControlsToScreenReaders() {
    static const bool installed = [] {
        QAccessible::installFactory(controlAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

void tellScreenReadersOfNewName(QWidget* control) {
    if (!QAccessible::isActive()) return;  // nobody listens: nothing is made
    QAccessibleEvent changed(control, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

void tellScreenReaders(QWidget* window, const QString& words) {
    if (!QAccessible::isActive()) return;  // nobody listens: nothing is made
    // Told once the change of screen is done: a focus it moves is told first, and a reader that
    // speaks the focus does not cut these words short.
    QMetaObject::invokeMethod(
        window,
        [window, words] {
            auto* notice = window->findChild<QWidget*>(kNoticeName, Qt::FindDirectChildrenOnly);
            if (!notice) {
                notice = new Notice(window);
                notice->setAccessibleName(words);
                notice->show();  // told as it shows
                return;
            }
            notice->setAccessibleName(words);
            tellScreenReadersOfNewName(notice);  // a reader keeping names learns the new one first
            QAccessibleEvent shown(notice, QAccessible::ObjectShow);
            QAccessible::updateAccessibility(&shown);
        },
        Qt::QueuedConnection);
}

void readChildrenInScreenOrder(QWidget* container) {
    container->setProperty(kScreenOrder, true);
}
