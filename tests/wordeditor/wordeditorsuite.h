#pragma once

#include "moodlesitefixture.h"
#include "officetestutil.h"

#include "app/config/appconfigs.h"
#include "office/officeclient.h"
#include "web/embeddedwb.h"
#include "web/moodlesiteconnect.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// One word-processor helper, one local site and one shown browser for a whole
// test program (LibreOffice starts once per process); the browser logs in to
// the site once, the first time a test asks for it.
class TWordEditorSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_work = new QTemporaryDir();
        s_client = new TOfficeClient(s_work->path(), officetest::HelperPath());
        s_client->Start();
        s_site = new TMoodleSite();
        s_browser = new TEmbeddedWB();
        s_browser->resize(1000, 700);
        s_browser->show();
    }
    static void TearDownTestSuite()
    {
        delete s_browser;
        delete s_site;
        delete s_client;
        delete s_work;
        s_browser = nullptr;
        s_site = nullptr;
        s_client = nullptr;
        s_work = nullptr;
        s_loggedIn = false;
    }
    static void LoginOnce(TMoodleSysConfig* config)
    {
        if (!s_loggedIn) {
            TMoodleSiteConnect::LoginToMoodle(s_browser, config);
            s_loggedIn = true;
        }
    }

    inline static QTemporaryDir* s_work = nullptr;
    inline static TOfficeClient* s_client = nullptr;
    inline static TMoodleSite* s_site = nullptr;
    inline static TEmbeddedWB* s_browser = nullptr;
    inline static bool s_loggedIn = false;
};
