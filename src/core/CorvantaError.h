#pragma once

#include <QString>
#include <stdexcept>

// An error meant for the operator: its text is shown as it stands in the error box.
class CorvantaError : public std::runtime_error
{
public:
    explicit CorvantaError(const QString &text)
        : std::runtime_error(text.toStdString()), m_text(text) {}

    const QString &text() const { return m_text; }

private:
    QString m_text;
};
