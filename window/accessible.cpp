// What a screen reader hears of the control kinds, and the focus of the controls a shown frame
// covers.

#include "window/controls.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

namespace {

// Whether the control is shown but covered whole by a container in front of it.
bool coveredWhole(const QWidget* control) {
    return control->isVisible() && control->visibleRegion().isEmpty();
}

// The kinds as a screen reader hears of them, named by their accessible names; Qt's own
// interfaces serve the text boxes, the line and the shape.
class ControlAccessible : public QAccessibleWidget {
  public:
    using QAccessibleWidget::QAccessibleWidget;

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if (coveredWhole(widget())) {
            state.invisible = true;
            state.focusable = false;
        }
        return state;
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
    const QAccessible::Role role = dynamic_cast<Label*>(control)           ? QAccessible::StaticText
                                   : dynamic_cast<CommandButton*>(control) ? QAccessible::Button
                                   : dynamic_cast<Frame*>(control)         ? QAccessible::Grouping
                                   : dynamic_cast<PictureBox*>(control)    ? QAccessible::Graphic
                                                                           : QAccessible::NoRole;
    return role == QAccessible::NoRole ? nullptr : new ControlAccessible(control, role);
}

// The controls that take the focus (buttons and sliders) take none while a shown frame covers
// them whole, and give the window the one they have.
void keepFocusOffCovered(QWidget* window) {
    for (QWidget* control : window->findChildren<QWidget*>()) {
        if (!dynamic_cast<CommandButton*>(control) && !dynamic_cast<ScrollBar*>(control)) continue;
        const bool covered = coveredWhole(control);
        control->setFocusPolicy(covered ? Qt::NoFocus : Qt::StrongFocus);
        if (covered && control->hasFocus()) window->setFocus();
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

void Frame::showEvent(QShowEvent*) {
    keepFocusOffCovered(window());
}

void Frame::hideEvent(QHideEvent*) {
    keepFocusOffCovered(window());
}
