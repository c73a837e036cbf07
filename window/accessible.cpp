// What a screen reader hears of the control kinds, and the focus of the controls a shown frame
// covers.

#include "window/controls.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QKeySequence>

#include <utility>

namespace {

// The kinds as a screen reader hears of them; Qt's own interfaces serve the text boxes, the line
// and the shape.
class ControlAccessible : public QAccessibleWidget {
  public:
    ControlAccessible(QWidget* control, QAccessible::Role role, QString caption)
        : QAccessibleWidget(control, role), caption_(std::move(caption)) {}

    QString text(QAccessible::Text kind) const override {
        if (kind != QAccessible::Name || !widget()->accessibleName().isEmpty())
            return QAccessibleWidget::text(kind);
        if (auto* label = dynamic_cast<const Label*>(widget())) return label->shownText();
        if (auto* button = dynamic_cast<const QAbstractButton*>(widget()))
            return QString(button->text()).remove(QLatin1Char('&'));
        return caption_;
    }
    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if (coveredWhole(widget())) {
            state.invisible = true;
            state.focusable = false;
        }
        return state;
    }
    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (press()) names.prepend(pressAction());
        return names;
    }
    void doAction(const QString& name) override {
        if (name == pressAction() && press())
            press()();
        else
            QAccessibleWidget::doAction(name);
    }

  private:
    std::function<void()> press() const {
        if (auto* button = dynamic_cast<QAbstractButton*>(widget()))
            return [button] { button->click(); };
        if (auto* clickable = dynamic_cast<Clickable*>(widget())) return clickable->onClick;
        return {};
    }
    QString caption_;
};

// A slider reports the value the window shows for it.
class SliderAccessible : public ControlAccessible, public QAccessibleValueInterface {
  public:
    explicit SliderAccessible(ScrollBar* bar) : ControlAccessible(bar, QAccessible::Slider, {}) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return ControlAccessible::interface_cast(type);
    }
    QVariant currentValue() const override { return shown(bar()->value()); }
    void setCurrentValue(const QVariant& value) override {
        for (int v = bar()->minimum(); v <= bar()->maximum(); ++v)
            if (shown(v) == value.toInt()) bar()->setValue(v);
    }
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
    if (dynamic_cast<Label*>(control))
        return new ControlAccessible(control, QAccessible::StaticText, {});
    if (dynamic_cast<CommandButton*>(control))
        return new ControlAccessible(control, QAccessible::Button, {});
    if (auto* frame = dynamic_cast<Frame*>(control))
        return new ControlAccessible(control, QAccessible::Grouping, frame->caption());
    if (dynamic_cast<PictureBox*>(control))
        return new ControlAccessible(control, QAccessible::Graphic, {});
    return nullptr;
}

// The focus policy a control had before a frame covered it.
constexpr const char* kFocusUncovered = "tintmazeFocusUncovered";

// Controls that a shown frame covers whole take no focus, and give up the one they have to the
// window; the others get back the focus policy they had.
void keepFocusOffCovered(QWidget* window) {
    for (QWidget* control : window->findChildren<QWidget*>()) {
        const QVariant uncovered = control->property(kFocusUncovered);
        if (coveredWhole(control) && control->focusPolicy() != Qt::NoFocus) {
            control->setProperty(kFocusUncovered, int(control->focusPolicy()));
            control->setFocusPolicy(Qt::NoFocus);
            if (control->hasFocus()) window->setFocus();
        } else if (!coveredWhole(control) && uncovered.isValid()) {
            control->setFocusPolicy(Qt::FocusPolicy(uncovered.toInt()));
            control->setProperty(kFocusUncovered, QVariant());
        }
    }
}

}  // namespace

void describeControlsToScreenReaders() {
    static const bool installed = [] {
        QAccessible::installFactory(controlAccessible);
        return true;
    }();
    Q_UNUSED(installed);
}

bool coveredWhole(const QWidget* control) {
    return control->isVisible() && control->visibleRegion().isEmpty();
}

void Frame::showEvent(QShowEvent*) {
    keepFocusOffCovered(window());
}

void Frame::hideEvent(QHideEvent*) {
    keepFocusOffCovered(window());
}
