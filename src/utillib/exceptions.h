#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// The root of every error this program raises itself. It carries a fixed
// English message; handlers show it to the user as it stands.
class Exception : public std::exception {
public:
    explicit Exception(QString message) : FMessage(std::move(message)), FUtf8(FMessage.toUtf8()) {}
    const QString& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};

// Errors of the platform layer that the framework reproduces because callers
// and tests look at them: a failed class lookup, a missing file, a dictionary
// miss, a conversion that cannot be made, a property accessor that is missing.
class EClassNotFound : public Exception { using Exception::Exception; };
class EFileNotFound : public Exception { using Exception::Exception; };
class EListError : public Exception { using Exception::Exception; };
class EConvertError : public Exception { using Exception::Exception; };
class EPropertyError : public Exception { using Exception::Exception; };
class EInOutError : public Exception { using Exception::Exception; };
class EXmlParseError : public Exception { using Exception::Exception; };

// Configuration errors (never raised as such; the base of the preset errors).
class EConfigException : public Exception { using Exception::Exception; };
class EConfigPresetException : public EConfigException { using EConfigException::EConfigException; };
