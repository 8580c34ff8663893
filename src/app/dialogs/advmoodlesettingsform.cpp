#include "app/dialogs/advmoodlesettingsform.h"

#include "app/config/appconfigs.h"
#include "app/dialogs/controlutil.h"
#include "app/shell/globaldm.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

TFormAdvMoodleSettings::TFormAdvMoodleSettings(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormAdvMoodleSettings"));
    setWindowTitle(QStringLiteral("Advanced Moodle Site Settings"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);

    FValueListEditor = new QTableWidget(0, 2, this);
    FValueListEditor->setObjectName(QStringLiteral("ValueListEditor"));
    FValueListEditor->setHorizontalHeaderLabels({QStringLiteral("Item"), QStringLiteral("Value")});
    FValueListEditor->verticalHeader()->setVisible(false);
    FValueListEditor->setColumnWidth(0, 150);
    FValueListEditor->setColumnWidth(1, 286);
    FValueListEditor->horizontalHeader()->setStretchLastSection(true);
    FValueListEditor->setSelectionMode(QAbstractItemView::SingleSelection);
    FValueListEditor->setEditTriggers(QAbstractItemView::AllEditTriggers);
    FValueListEditor->setMinimumWidth(150 + 286 + 4);
    FValueListEditor->setFixedHeight(80);
    layout->addWidget(FValueListEditor);
    layout->addStretch();

    layout->addLayout(TControlUtil::NewCloseButtonRow(this, QStringLiteral("&OK"), QStringLiteral("BtnOk"),
                                                      FBtnOk, FBtnCancel));

    connect(FBtnOk, &QPushButton::clicked, this, [this] { BtnOkClick(); });
    connect(FBtnCancel, &QPushButton::clicked, this, &QDialog::reject);

    SetValues(LoginPathKey, QString());
    SetValues(RepoUploadPathKey, QString());
}

bool TFormAdvMoodleSettings::Execute(TMoodleSysConfig* moodleConfig)
{
    SetMoodleConfig(moodleConfig);
    return exec() == QDialog::Accepted;
}

void TFormAdvMoodleSettings::SetMoodleConfig(TMoodleSysConfig* value)
{
    FMoodleConfig = value;
    SetValues(LoginPathKey, value ? value->LoginPath() : QString());
    SetValues(RepoUploadPathKey, value ? value->RepoUploadPath() : QString());
}

int TFormAdvMoodleSettings::RowOf(const QString& key) const
{
    for (int row = 0; row < FValueListEditor->rowCount(); ++row)
        if (const QTableWidgetItem* item = FValueListEditor->item(row, 0); item && item->text() == key)
            return row;
    return -1;
}

QString TFormAdvMoodleSettings::Values(const QString& key) const
{
    const int row = RowOf(key);
    const QTableWidgetItem* item = row >= 0 ? FValueListEditor->item(row, 1) : nullptr;
    return item ? item->text() : QString();
}

void TFormAdvMoodleSettings::SetValues(const QString& key, const QString& value)
{
    int row = RowOf(key);
    if (row < 0) {
        row = FValueListEditor->rowCount();
        FValueListEditor->insertRow(row);
        auto* keyItem = new QTableWidgetItem(key);
        keyItem->setFlags(Qt::ItemIsEnabled);
        FValueListEditor->setItem(row, 0, keyItem);
        FValueListEditor->setItem(row, 1, new QTableWidgetItem);
    }
    FValueListEditor->item(row, 1)->setText(value);
}

void TFormAdvMoodleSettings::BtnOkClick()
{
    // A cell still being edited holds the text the user sees as the value;
    // it is written into the list when its editor loses the focus.
    FBtnOk->setFocus(Qt::OtherFocusReason);
    if (FMoodleConfig) {
        FMoodleConfig->SetLoginPath(Values(LoginPathKey));
        FMoodleConfig->SetRepoUploadPath(Values(RepoUploadPathKey));
    }
    accept();
}

void TFormAdvMoodleSettings::showEvent(QShowEvent* event)
{
    ApplySkinColors();
    QDialog::showEvent(event);
}

void TFormAdvMoodleSettings::ApplySkinColors()
{
    TDmGlobal* dm = DmGlobal();
    if (!dm)
        return;
    const TSkinColors& c = dm->SkinDataGlobal()->Colors();
    // A widget's own sheet wins over the program's, which styles every table alike.
    FValueListEditor->setStyleSheet(
        QStringLiteral("QTableView { background: %1; color: %2; }"
                       " QHeaderView::section { color: %2; border: 1px solid %3;"
                       " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %3); }")
            .arg(c.Window.name(), c.WindowText.name(), c.ButtonFace.name()));
    QPalette p = FValueListEditor->palette();
    p.setColor(QPalette::Base, c.Window);
    p.setColor(QPalette::Window, c.ButtonFace);
    p.setColor(QPalette::Button, c.ButtonFace);
    p.setColor(QPalette::Text, c.WindowText);
    p.setColor(QPalette::WindowText, c.WindowText);
    FValueListEditor->setPalette(p);
}
