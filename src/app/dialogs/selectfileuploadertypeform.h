#pragma once

#include <QDialog>
#include <QStringList>

class QListWidget;
class QPushButton;

// "Select File Uploader Type": the registered uploader types, one to choose.
class TFormSelectFileUploaderType : public QDialog {
    Q_OBJECT
public:
    explicit TFormSelectFileUploaderType(QWidget* parent = nullptr);

    // The list becomes uploaderTypes (first entry selected); answers whether
    // the dialog closed with "&OK".
    bool Execute(const QStringList& uploaderTypes);

    QStringList UploaderTypes() const;
    void SetUploaderTypes(const QStringList& value);
    // The selected type, or empty; writing selects the equal entry if any.
    QString SelectedType() const;
    void SetSelectedType(const QString& value);

    QListWidget* ListBoxUploaderTypes() const { return FListBoxUploaderTypes; }
    QPushButton* BtnOk() const { return FBtnOk; }
    QPushButton* BtnCancel() const { return FBtnCancel; }

private:
    QListWidget* FListBoxUploaderTypes;
    QPushButton* FBtnOk;
    QPushButton* FBtnCancel;
};
