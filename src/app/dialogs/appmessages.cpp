#include "app/dialogs/appmessages.h"

#include "utillib/exceptions.h"

#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>

void TAppMessages::ShowException(QWidget* parent, const QString& message)
{
    QPointer<QWidget> owner(parent ? parent->window() : nullptr);
    QMessageBox box(QMessageBox::Critical, Caption, message, QMessageBox::Ok, owner.data());
    box.setObjectName(ErrorBoxName);
    box.exec();
    ReturnToOwner(owner);
}

void TAppMessages::ReturnToOwner(QWidget* owner)
{
    // The control that refused a value has the focus in its window; that
    // window must be the active one again, whatever the platform decides
    // when a message box goes away.
    if (owner && owner->isVisible())
        owner->activateWindow();
}

void TAppMessages::PostException(QWidget* parent, const QString& message)
{
    QPointer<QWidget> owner(parent);
    QTimer::singleShot(0, [owner, message]() { ShowException(owner.data(), message); });
}

bool TAppMessages::Confirm(QWidget* parent, const QString& text)
{
    QPointer<QWidget> owner(parent ? parent->window() : nullptr);
    QMessageBox box(QMessageBox::Question, Caption, text, QMessageBox::Yes | QMessageBox::No, owner.data());
    box.setObjectName(ConfirmBoxName);
    const bool yes = box.exec() == QMessageBox::Yes;
    ReturnToOwner(owner);
    return yes;
}

QString TAppMessages::MessageOf(const std::exception& e)
{
    if (const auto* own = dynamic_cast<const Exception*>(&e))
        return own->Message();
    return QString::fromUtf8(e.what());
}
