#include "headlessengine.h"
#include <unistd.h>
#include <QApplication>
#include <gtest/gtest.h>

// GUI and browser tests run headless on the real engines. The environment is
// set before the application object exists, because Qt and the web engine read
// it only once.
int main(int argc, char** argv)
{
    PrepareHeadlessEngines();
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
