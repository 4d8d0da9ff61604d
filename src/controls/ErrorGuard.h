#pragma once

#include "core/CorvantaError.h"

#include <QString>

#include <exception>
#include <functional>

class Dialogs;
class QWidget;

// Runs a handler and turns any error it throws into the error box, so that no
// exception crosses a Qt frame. Returns false when the handler failed. The one guard of
// the program: the main window, the help viewer and the dialogs each hold one.
class ErrorGuard
{
public:
    ErrorGuard(QWidget *parent, Dialogs *const *dialogs) : m_parent(parent), m_dialogs(dialogs) {}
    // For a window that shows its errors its own way (a modal dialog, over itself).
    explicit ErrorGuard(std::function<void(const QString &text)> report) : m_report(std::move(report)) {}

    bool run(const std::function<void()> &handler) const;

    // Wraps a handler that takes no arguments, for connecting to any signal.
    template<typename F>
    auto guarded(F handler) const
    {
        return [this, handler] { run(handler); };
    }

    // Wraps a handler that takes the event's arguments (keys, mouse positions).
    template<typename F>
    auto wrap(F handler) const
    {
        return [this, handler](auto &&...args) {
            run([&] { handler(std::forward<decltype(args)>(args)...); });
        };
    }

private:
    QWidget *m_parent = nullptr;
    Dialogs *const *m_dialogs = nullptr;
    std::function<void(const QString &)> m_report;
};
