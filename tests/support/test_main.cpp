#include <QCoreApplication>
#include <gtest/gtest.h>

// Non-GUI tests: one QCoreApplication for the whole run, so code under test can
// use queued calls, timers and sockets exactly as the program does.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
