// Sends 100 files of 256 KB to a local FTP server, through TFtpFileUploader
// (default settings: collision-free names, so one size probe per file) and,
// as the baseline, through one curl run that uploads the same files over one
// connection ("curl -T {f1,f2,...}"). Same server, same run; each side runs
// several rounds, alternately, into its own folder, and the median counts.
// Prints both and ends with "ratio <ours/baseline>".

#include "app/uploaders/ftpfileuploader.h"
#include "ftptestserver.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int FileCount = 100;
constexpr int FileSize = 256 * 1024;
constexpr int Rounds = 7;

struct Side {
    std::vector<double> Ms;
    double Median() const
    {
        std::vector<double> v = Ms;
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
};

// One upload call; milliseconds from Upload to the summary, or -1 on failure.
double RunOurs(const FtpTestServer& server, const QStringList& files, const QString& dir, bool autoName)
{
    TFtpFileUploader uploader;
    TFtpFileUploaderConfig* c = uploader.FtpConfig();
    c->SetHost(QStringLiteral("127.0.0.1"));
    c->SetPort(server.Port());
    c->SetUserName(server.UserName());
    c->SetPassword(server.Password());
    c->SetUploadDir(dir);
    c->SetVisitPath(QStringLiteral("http://bench.example/"));
    c->SetAutoDestFileName(autoName);
    QEventLoop loop;
    int done = -1;
    bool failed = false;
    QElapsedTimer timer;
    timer.start();
    uploader.Upload(
        files, nullptr,
        [&](int, int successCount) {
            done = successCount;
            loop.quit();
        },
        [&](const Exception& e) {
            std::fprintf(stderr, "ours failed: %s\n", e.what());
            failed = true;
            loop.quit();
        });
    if (done < 0 && !failed)
        loop.exec();
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    // Let the thread end before the uploader goes.
    while (uploader.IsUploading())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (failed || done != files.size()) {
        std::fprintf(stderr, "ours uploaded %d of %lld files\n", done, static_cast<long long>(files.size()));
        return -1;
    }
    return ms;
}

struct CurlRun {
    double Ms = -1;
    double StallMs = 0; // lost to libcurl's late start of a data connection
    int Stalls = 0;
};

// libcurl 7.88 sometimes starts a passive data connection only when its
// one-second poll times out. The curl tool has no way around it; its trace
// shows each such wait as a gap of about a second before "Trying".
void CountStalls(const QByteArray& trace, CurlRun& run)
{
    double last = -1;
    for (const QByteArray& line : trace.split('\n')) {
        // "hh:mm:ss.uuuuuu * ..."
        if (line.size() < 16 || line[2] != ':' || line[8] != '.')
            continue;
        const double t = line.mid(0, 2).toDouble() * 3600 + line.mid(3, 2).toDouble() * 60 + line.mid(6, 9).toDouble();
        if (line.contains("Trying 127.0.0.1") && last >= 0 && t - last > 0.9) {
            ++run.Stalls;
            run.StallMs += (t - last) * 1000.0;
        }
        last = t;
    }
}

CurlRun RunCurl(const FtpTestServer& server, const QStringList& files, const QString& dir)
{
    QProcess curl;
    const QString url = QStringLiteral("ftp://127.0.0.1:%1/%2/").arg(server.Port()).arg(dir);
    CurlRun run;
    QElapsedTimer timer;
    timer.start();
    curl.start(QStringLiteral(VANTOLI_CURL_TOOL),
               {QStringLiteral("-sS"), QStringLiteral("-v"), QStringLiteral("--trace-time"), QStringLiteral("--user"),
                server.UserName() + QLatin1Char(':') + server.Password(), QStringLiteral("-T"),
                QLatin1Char('{') + files.join(QLatin1Char(',')) + QLatin1Char('}'), url});
    if (!curl.waitForFinished(300000) || curl.exitStatus() != QProcess::NormalExit || curl.exitCode() != 0) {
        std::fprintf(stderr, "curl failed (exit %d): %s\n", curl.exitCode(), curl.readAllStandardError().right(2000).constData());
        return run;
    }
    run.Ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    CountStalls(curl.readAllStandardError(), run);
    return run;
}

// What the baseline spends on starting a process, for reading its figure.
double CurlStart()
{
    QProcess curl;
    QElapsedTimer timer;
    timer.start();
    curl.start(QStringLiteral(VANTOLI_CURL_TOOL), {QStringLiteral("--version")});
    curl.waitForFinished(30000);
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

bool AllStored(const FtpTestServer& server, const QString& dir)
{
    const QFileInfoList stored = QDir(QDir(server.Root()).filePath(dir)).entryInfoList(QDir::Files);
    return stored.size() == FileCount &&
           std::all_of(stored.begin(), stored.end(), [](const QFileInfo& f) { return f.size() == FileSize; });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Both ends in memory when the system has a memory file system, so the
    // disk (shared with whatever else runs) does not blur the figures.
    const QString scratch = QFileInfo(QStringLiteral("/dev/shm")).isWritable() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QTemporaryDir local(scratch + QStringLiteral("/bench-ftp-XXXXXX"));
    FtpTestServer server(4 * 1024 * 1024, scratch);
    QString error;
    if (!local.isValid() || !server.Start(&error)) {
        std::fprintf(stderr, "cannot start the FTP server: %s\n", qPrintable(error));
        return 1;
    }
    QStringList files;
    QByteArray data(FileSize, Qt::Uninitialized);
    for (int i = 0; i < FileSize; ++i)
        data[i] = static_cast<char>(i * 31 + i / 4096);
    for (int i = 0; i < FileCount; ++i) {
        const QString path = local.filePath(QStringLiteral("f%1.bin").arg(i, 3, 10, QLatin1Char('0')));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
            return 1;
        files << path;
    }

    std::printf("bench_ftp: %d files x %d KB to a local FTP server, %d rounds, median\n", FileCount, FileSize / 1024,
                Rounds);
    std::fflush(stdout);
    Side ours, plainNames, baseline, startCurl, stallFree;
    // Round -1 warms the server, the caches and the connection paths up and
    // does not count.
    for (int round = -1; round < Rounds; ++round) {
        const QString n = QString::number(round + 1);
        for (const QString& dir : {QStringLiteral("ours") + n, QStringLiteral("plain") + n, QStringLiteral("curl") + n})
            QDir(server.Root()).mkpath(dir);
        // Alternate who goes first, so neither always meets a warm server.
        CurlRun c;
        double o = -1, p = -1;
        const bool curlFirst = (round + 1) % 2 == 0;
        if (curlFirst)
            c = RunCurl(server, files, QStringLiteral("curl") + n);
        o = RunOurs(server, files, QStringLiteral("ours") + n, true);
        p = RunOurs(server, files, QStringLiteral("plain") + n, false);
        if (!curlFirst)
            c = RunCurl(server, files, QStringLiteral("curl") + n);
        const double b = c.Ms;
        if (o < 0 || p < 0 || b < 0 || !AllStored(server, QStringLiteral("ours") + n) ||
            !AllStored(server, QStringLiteral("plain") + n) || !AllStored(server, QStringLiteral("curl") + n)) {
            std::fprintf(stderr, "round %d failed\n", round);
            return 1;
        }
        // Keep the server's disk use small.
        for (const QString& dir : {QStringLiteral("ours") + n, QStringLiteral("plain") + n, QStringLiteral("curl") + n})
            QDir(QDir(server.Root()).filePath(dir)).removeRecursively();
        if (round < 0)
            continue;
        std::printf("round %d: ours %.1f ms, ours without name probes %.1f ms, curl %.1f ms (%d stalls, %.0f ms)\n", round,
                    o, p, b, c.Stalls, c.StallMs);
        stallFree.Ms.push_back(b - c.StallMs);
        ours.Ms.push_back(o);
        startCurl.Ms.push_back(CurlStart());
        plainNames.Ms.push_back(p);
        baseline.Ms.push_back(b);
        std::fflush(stdout);
    }
    const double mbytes = double(FileCount) * FileSize / (1024.0 * 1024.0);
    std::printf("ours (TFtpFileUploader, default settings): %.1f ms (%.1f MB/s)\n", ours.Median(),
                mbytes / (ours.Median() / 1000.0));
    std::printf("ours without name probes (AutoDestFileName off): %.1f ms\n", plainNames.Median());
    std::printf("baseline (one curl -T run, process start included): %.1f ms (%.1f MB/s)\n", baseline.Median(),
                mbytes / (baseline.Median() / 1000.0));
    std::printf("  of which starting the curl process (curl --version): %.1f ms\n", startCurl.Median());
    std::printf("  baseline less its one-second stalls: %.1f ms (ours / that: %.3f)\n", stallFree.Median(),
                ours.Median() / stallFree.Median());
    std::printf("ratio %.3f\n", ours.Median() / baseline.Median());
    return 0;
}
