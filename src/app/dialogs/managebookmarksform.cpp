#include "app/dialogs/managebookmarksform.h"

#include "app/dialogs/managebookmarksframe.h"
#include "app/shell/formplacement.h"
#include "app/shell/globaldm.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

TFormManageBookmarks::TFormManageBookmarks(QWidget* parent, TXmlPlacementStore* store) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormManageBookmarks"));
    setWindowTitle(QStringLiteral("Manage Bookmarks"));
    resize(480, 400);
    auto* layout = new QVBoxLayout(this);
    FFrameManageBookmarks = new TFrameManageBookmarks(this);
    layout->addWidget(FFrameManageBookmarks, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    FBtnClose = new QPushButton(QStringLiteral("&Close"), this);
    FBtnClose->setObjectName(QStringLiteral("BtnClose"));
    FBtnClose->setAutoDefault(false);
    buttons->addWidget(FBtnClose);
    layout->addLayout(buttons);
    connect(FBtnClose, &QPushButton::clicked, this, &QDialog::accept);

    if (!store && DmGlobal())
        store = DmGlobal()->AppXMLFileStorage();
    if (store)
        FJvFormStorage1 = new TFormPlacement(this, store, StorageSection);
}

void TFormManageBookmarks::Execute(TMoodleSysConfigPresets* moodleSysPresets, TMoodleSysConfig* activeMoodleSysConfig)
{
    // The site of the previous opening must not steer the new tree: it is
    // built with no active site, and the new one is expanded and selected.
    FFrameManageBookmarks->SetActiveMoodleSysConfig(nullptr);
    SetMoodleSysPresets(moodleSysPresets);
    SetActiveMoodleSysConfig(activeMoodleSysConfig);
    exec();
}

TMoodleSysConfigPresets* TFormManageBookmarks::MoodleSysPresets() const
{
    return FFrameManageBookmarks->MoodleSysPresets();
}

void TFormManageBookmarks::SetMoodleSysPresets(TMoodleSysConfigPresets* value)
{
    FFrameManageBookmarks->SetMoodleSysPresets(value);
}

TMoodleSysConfig* TFormManageBookmarks::ActiveMoodleSysConfig() const
{
    return FFrameManageBookmarks->ActiveMoodleSysConfig();
}

void TFormManageBookmarks::SetActiveMoodleSysConfig(TMoodleSysConfig* value)
{
    FFrameManageBookmarks->SetActiveMoodleSysConfig(value);
}
