#pragma once

#include "app/config/appconfigs.h"
#include "app/config/configsaveload.h"
#include "app/shell/globaldm.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "web/embeddedwb.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

// What the program's entry sets up before any window: the "xml" storage and
// the global resources, and here a private user folder so no test touches
// the real one.
class GuiEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        qputenv("APPDATA", FAppData.path().toUtf8());
        qputenv("TEMP", FTemp.path().toUtf8());
        TVantoliConfigPersistent::RegisterSaveLoader();
        FDm = std::make_unique<TDmGlobal>();
    }
    void TearDown() override { FDm.reset(); }
    // Also forgets the files an earlier window saved, so the next window
    // loads nothing over what a test prepared.
    static void ResetConfig()
    {
        QFile::remove(TVantoliConfigPersistent::UserConfigPath() + TVantoliConfigPersistent::MainConfigFileName);
        QFile::remove(TVantoliConfigPersistent::UserConfigPath() + TVantoliConfigPersistent::UploadersConfigFileName);
        AppConfig()->MoodleSysConfigPresets()->Clear();
        AppConfig()->MoodleSysConfigPresets()->SetCurrPresetIndex(-1);
        AppConfig()->GeneralConfig()->SetDefaultValues();
        AppConfig()->GeneralConfig()->SetSkinIndex(0);
        FileUploaderPresetsConfig()->Presets()->Clear();
    }

private:
    QTemporaryDir FAppData, FTemp;
    std::unique_ptr<TDmGlobal> FDm;
};

// Clicks an element of the page as a user would: from the page's own event
// loop once our script has returned, so that what the program does on the
// click (a tab, a modal dialog, its own questions to the page) does not run
// inside our wait for this script's answer.
inline void ClickInPage(TEmbeddedWB* browser, const QString& elementId)
{
    browser->ExecScript(QStringLiteral("setTimeout(function () { document.getElementById('%1').click(); }, 0);").arg(elementId));
}
