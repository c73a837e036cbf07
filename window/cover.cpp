#include "window/cover.h"

#include <QApplication>
#include <QPointer>

Cover::Cover(QWidget* window) : QWidget(window) {
    setAttribute(Qt::WA_NoMousePropagation);
    hide();
    window->installEventFilter(this);
}

void Cover::coverDuring(QEventLoop& loop, QWidget* focus, QEventLoop::ProcessEventsFlags flags) {
    const QPointer<QWidget> before = QApplication::focusWidget();
    setGeometry(parentWidget()->rect());
    raise();
    show();
    focus->setFocus();
    loop.exec(flags);
    hide();
    if (before && before->isVisible()) before->setFocus();
}

bool Cover::event(QEvent* event) {
    if (event->type() != QEvent::ShortcutOverride) return QWidget::event(event);
    event->accept();  // an access key comes as a key to the cover, not as a shortcut
    return true;
}

// The window's size, whenever it changes, is the cover's.
bool Cover::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return false;
}
