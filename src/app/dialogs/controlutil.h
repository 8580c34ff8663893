#pragma once

#include <QString>
#include <QVariant>

class QHBoxLayout;
class QObject;
class QPushButton;
class QWidget;

// Copies values from controls into settings objects through the meta-object
// properties, so that the destination's setter and its checks run exactly as
// for any other caller. Property names are matched without regard to case.
class TControlUtil {
public:
    TControlUtil() = delete;

    // Writes value into the property destPropName of destObj. When the setter
    // raises and focusCtrlOnError is true, ctrl gets the focus back before the
    // error goes on unchanged. A missing or read-only property, or a value the
    // property's type cannot take, raises EPropertyError / EConvertError.
    static void AssignCtrlValueTo(QWidget* ctrl, const QVariant& value, QObject* destObj,
                                  const QString& destPropName, bool focusCtrlOnError);
    // The same with the value read from the property ctrlProp of ctrl
    // (e.g. "text" of a line edit, "plainText" of a memo, "checked" of a check box).
    static void AssignCtrlValueTo(QWidget* ctrl, const QString& ctrlProp, QObject* destObj,
                                  const QString& destPropName, bool focusCtrlOnError);

    // The value of a control's property; raises EPropertyError when it has none.
    static QVariant CtrlValue(QWidget* ctrl, const QString& ctrlProp);

    // A dialog's closing buttons as a right-aligned row: the default button
    // (okText, object name okName) and "&Cancel" ("BtnCancel", never the
    // default). The buttons are children of dialog; the caller connects them.
    static QHBoxLayout* NewCloseButtonRow(QWidget* dialog, const QString& okText, const QString& okName,
                                          QPushButton*& ok, QPushButton*& cancel);
};
