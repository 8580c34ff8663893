#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <unistd.h>

// Tests, benches and demos run the real engines headless: no display needed,
// and as root the web engine runs without its sandbox. Call before the
// application object exists: Qt and the web engine read these only once.
inline void PrepareHeadlessEngines()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (::geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--disable-gpu"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags + " --disable-gpu").trimmed());
}
