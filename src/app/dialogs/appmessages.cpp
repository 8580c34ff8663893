#include "app/dialogs/appmessages.h"

#include "utillib/exceptions.h"

#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

void TAppMessages::ShowException(QWidget* parent, const QString& message)
{
    QMessageBox box(QMessageBox::Critical, Caption, message, QMessageBox::Ok, parent ? parent->window() : nullptr);
    box.setObjectName(ErrorBoxName);
    box.exec();
}

void TAppMessages::PostException(QWidget* parent, const QString& message)
{
    QPointer<QWidget> owner(parent);
    QTimer::singleShot(0, [owner, message]() { ShowException(owner.data(), message); });
}

bool TAppMessages::Confirm(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Question, Caption, text, QMessageBox::Yes | QMessageBox::No,
                    parent ? parent->window() : nullptr);
    box.setObjectName(ConfirmBoxName);
    return box.exec() == QMessageBox::Yes;
}

QString TAppMessages::MessageOf(const std::exception& e)
{
    if (const auto* own = dynamic_cast<const Exception*>(&e))
        return own->Message();
    return QString::fromUtf8(e.what());
}
