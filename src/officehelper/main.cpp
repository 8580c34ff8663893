// vantoli-office: the word-processor helper. Runs LibreOfficeKit in a process
// of its own and serves the program over a local socket (officeprotocol.h).
//
//   vantoli-office --server <socket name> --profile <folder> [--program <dir>]
//
// The profile folder is created on first use (about 3 s) and reused after
// (a fraction of a second). The caller gives the helper its own TMPDIR.
#include "helperserver.h"

#ifndef LOK_USE_UNSTABLE_API
#define LOK_USE_UNSTABLE_API
#endif
#include <LibreOfficeKit/LibreOfficeKitInit.h>
#include <LibreOfficeKit/LibreOfficeKit.hxx>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QUrl>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption({"server", "Local socket name to listen on.", "name"});
    parser.addOption({"profile", "LibreOffice user profile folder.", "folder"});
    parser.addOption({"program", "LibreOffice program folder.", "dir", "/usr/lib/libreoffice/program"});
    parser.process(app);
    if (!parser.isSet("server") || !parser.isSet("profile")) {
        std::fprintf(stderr, "vantoli-office: --server and --profile are required\n");
        return 2;
    }

    const QString profile = QDir(parser.value("profile")).absolutePath();
    QDir().mkpath(profile);
    const QByteArray profileUrl = QUrl::fromLocalFile(profile).toString(QUrl::FullyEncoded).toUtf8();
    const QByteArray programDir = parser.value("program").toLocal8Bit();

    QElapsedTimer timer;
    timer.start();
    std::unique_ptr<lok::Office> office(lok::lok_cpp_init(programDir.constData(), profileUrl.constData()));
    if (!office) {
        std::fprintf(stderr, "vantoli-office: LibreOffice could not be started from %s\n", programDir.constData());
        return 3;
    }
    const int initMs = int(timer.elapsed());

    int rc = 0;
    {
        THelperServer server(*office, initMs);
        if (!server.Listen(parser.value("server"))) {
            std::fprintf(stderr, "vantoli-office: cannot listen on %s\n", qPrintable(parser.value("server")));
            std::_Exit(4);
        }
        // The program waits for this line before it connects.
        std::printf("ready %d\n", initMs);
        std::fflush(stdout);
        rc = app.exec();
    }
    // LibreOffice's shutdown may hang; give it a moment, then leave anyway.
    std::thread([] {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        std::_Exit(0);
    }).detach();
    office.reset();
    std::fflush(stderr);
    std::_Exit(rc);
}
