#pragma once

#include <QString>
#include <stdexcept>

// A failure of the word processor: LibreOffice's own error text, or what the
// program knows about a helper that stopped or stopped answering.
class EOfficeError : public std::runtime_error {
public:
    explicit EOfficeError(const QString& message) : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& Message() const { return m_message; }

private:
    QString m_message;
};
