#pragma once

#include <QString>

class QWidget;
class Exception;

// The program's message boxes: the error box that reports an exception which
// left an event handler, and the Yes/No confirmation. An event handler that
// fails leaves the window as it was; the error is shown once the handler has
// returned, the way an unhandled error reaches the application's own handler.
class TAppMessages {
public:
    static inline const QString Caption = QStringLiteral("Vantoli");
    static inline const QString ErrorBoxName = QStringLiteral("AppErrorMessage");
    static inline const QString ConfirmBoxName = QStringLiteral("AppConfirmMessage");

    // Shows the message at once, modally.
    static void ShowException(QWidget* parent, const QString& message);
    // Shows the message after the current event has been handled.
    static void PostException(QWidget* parent, const QString& message);
    // Runs an event handler; an error it raises is posted with PostException.
    template <class F> static void Guard(QWidget* parent, F&& handler)
    {
        try {
            handler();
        } catch (const std::exception& e) {
            PostException(parent, MessageOf(e));
        }
    }
    // A confirmation box with Yes and No; true only for Yes.
    static bool Confirm(QWidget* parent, const QString& text);

private:
    static QString MessageOf(const std::exception& e);
    static void ReturnToOwner(QWidget* owner);
};
