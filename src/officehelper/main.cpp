// vantoli-office: the word-processor helper. Runs LibreOfficeKit in a process
// of its own and serves the program over a local socket (officeprotocol.h).
//
//   vantoli-office --server <socket name> --profile <folder> [--program <dir>]
//
// Standard input carries one line: the token every connection must show in
// its hello (a command line can be read by every user of the machine). The
// helper listens once LibreOffice is up; the program knows it is ready when
// the hello is answered. The profile folder is created on first use (about
// 3 s) and reused after (a fraction of a second). The caller gives the
// helper its own TMPDIR.
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
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace {

// The first line of standard input, read before anything else; empty when
// none comes within the time (the program writes it right after the start).
QByteArray ReadToken()
{
    QByteArray line;
    pollfd in{STDIN_FILENO, POLLIN, 0};
    char c;
    while (line.size() < 256 && ::poll(&in, 1, 30000) > 0 && ::read(STDIN_FILENO, &c, 1) == 1) {
        if (c == '\n')
            return line;
        line.append(c);
    }
    return {};
}

} // namespace

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

    // Short tokens are refused: the token is what keeps other programs out.
    const QByteArray token = ReadToken().trimmed();
    if (token.size() < 32) {
        std::fprintf(stderr, "vantoli-office: no token on standard input\n");
        return 5;
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
        THelperServer server(*office, initMs, token);
        if (!server.Listen(parser.value("server"))) {
            std::fprintf(stderr, "vantoli-office: cannot listen on %s\n", qPrintable(parser.value("server")));
            std::_Exit(4);
        }
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
