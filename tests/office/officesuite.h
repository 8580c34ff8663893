#pragma once

#include "officeclient.h"
#include "officetestutil.h"
#include "officewordautomation.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

// A test suite on one word-processor helper, started before its first test
// and stopped after its last (LibreOffice starts once per process).
class TOfficeSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_work = new QTemporaryDir();
        s_client = new TOfficeClient(s_work->path(), officetest::HelperPath());
        s_client->Start();
        ASSERT_TRUE(s_client->WaitReady(120000));
        s_word = new TOfficeWordAutomation(*s_client);
    }
    static void TearDownTestSuite()
    {
        delete s_word;
        delete s_client;
        delete s_work;
        s_word = nullptr;
        s_client = nullptr;
        s_work = nullptr;
    }

    static inline QTemporaryDir* s_work = nullptr;
    static inline TOfficeClient* s_client = nullptr;
    static inline TOfficeWordAutomation* s_word = nullptr;
};
