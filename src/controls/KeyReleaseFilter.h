#pragma once

#include <QKeyEvent>
#include <QObject>

#include <functional>

// Calls back when a key is released in the watched control (auto-repeats left out).
class KeyReleaseFilter : public QObject
{
public:
    KeyReleaseFilter(QObject *watched, std::function<void(int key)> onKeyUp)
        : QObject(watched), m_onKeyUp(std::move(onKeyUp))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyRelease && !static_cast<QKeyEvent *>(event)->isAutoRepeat())
            m_onKeyUp(static_cast<QKeyEvent *>(event)->key());
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(int)> m_onKeyUp;
};
