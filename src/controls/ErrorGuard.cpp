#include "controls/ErrorGuard.h"

#include "controls/Dialogs.h"

#include <new>

bool ErrorGuard::run(const std::function<void()> &handler) const
{
    QString message;
    try {
        handler();
        return true;
    } catch (const CorvantaError &e) {
        message = e.text();
    } catch (const std::bad_alloc &) {
        message = QStringLiteral("Out of memory");
    } catch (const std::exception &e) {
        message = QString::fromLocal8Bit(e.what());
    } catch (...) {
        // Whatever it is, it must not cross the Qt frame that called the handler.
        message = QStringLiteral("Unexpected error");
    }
    if (m_report)
        m_report(message);
    else if (m_dialogs && *m_dialogs)
        (*m_dialogs)->error(m_parent, message);
    return false;
}
