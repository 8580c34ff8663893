#include "app/dialogs/selectfileuploadertypeform.h"

#include "app/dialogs/controlutil.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TFormSelectFileUploaderType::TFormSelectFileUploaderType(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormSelectFileUploaderType"));
    setWindowTitle(QStringLiteral("Select File Uploader Type"));
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(QStringLiteral("Uploader types"), this);
    auto* groupLayout = new QVBoxLayout(group);
    FListBoxUploaderTypes = new QListWidget(group);
    FListBoxUploaderTypes->setObjectName(QStringLiteral("ListBoxUploaderTypes"));
    FListBoxUploaderTypes->setSelectionMode(QAbstractItemView::SingleSelection);
    FListBoxUploaderTypes->setSortingEnabled(false);
    groupLayout->addWidget(FListBoxUploaderTypes);
    layout->addWidget(group, 1);

    layout->addLayout(TControlUtil::NewCloseButtonRow(this, QStringLiteral("&OK"), QStringLiteral("BtnOk"),
                                                      FBtnOk, FBtnCancel));
    resize(300, 240);

    connect(FBtnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(FBtnCancel, &QPushButton::clicked, this, &QDialog::reject);
    // A double click on a type chooses it.
    connect(FListBoxUploaderTypes, &QListWidget::itemDoubleClicked, FBtnOk, &QPushButton::click);
}

bool TFormSelectFileUploaderType::Execute(const QStringList& uploaderTypes)
{
    SetUploaderTypes(uploaderTypes);
    FListBoxUploaderTypes->setFocus();
    return exec() == QDialog::Accepted;
}

QStringList TFormSelectFileUploaderType::UploaderTypes() const
{
    QStringList types;
    for (int i = 0; i < FListBoxUploaderTypes->count(); ++i)
        types << FListBoxUploaderTypes->item(i)->text();
    return types;
}

void TFormSelectFileUploaderType::SetUploaderTypes(const QStringList& value)
{
    FListBoxUploaderTypes->clear();
    FListBoxUploaderTypes->addItems(value);
    if (!value.isEmpty())
        FListBoxUploaderTypes->setCurrentRow(0);
}

QString TFormSelectFileUploaderType::SelectedType() const
{
    const QList<QListWidgetItem*> selected = FListBoxUploaderTypes->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void TFormSelectFileUploaderType::SetSelectedType(const QString& value)
{
    const QList<QListWidgetItem*> found = FListBoxUploaderTypes->findItems(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (!found.isEmpty())
        FListBoxUploaderTypes->setCurrentItem(found.first());
}
