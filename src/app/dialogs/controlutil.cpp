#include "app/dialogs/controlutil.h"

#include "utillib/exceptions.h"

#include <QHBoxLayout>
#include <QMetaProperty>
#include <QPushButton>
#include <QWidget>

namespace {

QMetaProperty FindProperty(const QObject* obj, const QString& name)
{
    const QMetaObject* mo = obj->metaObject();
    for (int i = mo->propertyCount() - 1; i >= 0; --i) {
        QMetaProperty p = mo->property(i);
        if (QString::fromLatin1(p.name()).compare(name, Qt::CaseInsensitive) == 0)
            return p;
    }
    throw EPropertyError(QStringLiteral("Property \"%1\" not found in %2")
                             .arg(name, QString::fromLatin1(mo->className())));
}

} // namespace

QVariant TControlUtil::CtrlValue(QWidget* ctrl, const QString& ctrlProp)
{
    if (!ctrl)
        return {};
    QMetaProperty p = FindProperty(ctrl, ctrlProp);
    if (!p.isReadable())
        throw EPropertyError(QStringLiteral("Property \"%1\" can not be read").arg(ctrlProp));
    return p.read(ctrl);
}

void TControlUtil::AssignCtrlValueTo(QWidget* ctrl, const QVariant& value, QObject* destObj,
                                     const QString& destPropName, bool focusCtrlOnError)
{
    if (!destObj)
        return;
    QMetaProperty p = FindProperty(destObj, destPropName);
    if (!p.isWritable())
        throw EPropertyError(QStringLiteral("Property \"%1\" can not be written").arg(destPropName));
    try {
        QVariant typed = value;
        if (p.isEnumType() && typed.metaType().id() != QMetaType::Int && typed.canConvert<int>())
            typed.convert(QMetaType::fromType<int>());
        if (!p.write(destObj, typed))
            throw EConvertError(QStringLiteral("Cannot assign a %1 to the property \"%2\"")
                                    .arg(QString::fromLatin1(value.typeName()), destPropName));
    } catch (...) {
        if (focusCtrlOnError && ctrl && ctrl->focusPolicy() != Qt::NoFocus)
            ctrl->setFocus(Qt::OtherFocusReason);
        throw;
    }
}

void TControlUtil::AssignCtrlValueTo(QWidget* ctrl, const QString& ctrlProp, QObject* destObj,
                                     const QString& destPropName, bool focusCtrlOnError)
{
    AssignCtrlValueTo(ctrl, CtrlValue(ctrl, ctrlProp), destObj, destPropName, focusCtrlOnError);
}

QHBoxLayout* TControlUtil::NewCloseButtonRow(QWidget* dialog, const QString& okText, const QString& okName,
                                             QPushButton*& ok, QPushButton*& cancel)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    ok = new QPushButton(okText, dialog);
    ok->setObjectName(okName);
    ok->setDefault(true);
    cancel = new QPushButton(QStringLiteral("&Cancel"), dialog);
    cancel->setObjectName(QStringLiteral("BtnCancel"));
    cancel->setAutoDefault(false);
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}
