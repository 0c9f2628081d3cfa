#include "EnterRepeatFilter.h"

#include <QKeyEvent>

EnterRepeatFilter::EnterRepeatFilter(QObject *parent)
    : QObject(parent)
{
}

bool EnterRepeatFilter::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->isAutoRepeat() && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter))
            return true;
    }
    return QObject::eventFilter(watched, event);
}
