// 20 pictures of 500 KB uploaded through TMoodleRepoFileUploader (page
// parameters read from the course page, each post through a hidden browser
// control) against one curl run posting the same files to the same endpoint,
// one after another, with the same session cookie and fields. Both against
// the local Moodle-like site, in the same run, a few rounds each; the median
// of each side is compared.
#include "headlessengine.h"
#include "testutil.h"
#include "app/config/appconfigs.h"
#include "app/uploaders/moodlerepouploaders.h"
#include "web/embeddedwb.h"
#include "web/moodlereposite.h"
#include "web/moodlesiteconnect.h"
#include "web/webbrowsers.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QNetworkCookie>
#include <QProcess>
#include <QTemporaryDir>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int FileCount = 20;
constexpr int FileSize = 500 * 1024;
constexpr int Rounds = 3;


double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int Fail(const char* what)
{
    std::fprintf(stderr, "bench_repo_upload: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    PrepareHeadlessEngines();
    QApplication app(argc, argv);

    QProcess site;
    site.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    site.start(QStringLiteral(VANTOLI_PYTHON3), {QStringLiteral(VANTOLI_MOODLE_SITE), QStringLiteral("--watch-stdin")});
    QByteArray portLine;
    if (!testutil::waitUntil([&] {
            if (site.canReadLine())
                portLine = site.readLine();
            return portLine.startsWith("PORT ");
        }, 15000))
        return Fail("the test site did not start");
    const QString root = QStringLiteral("http://127.0.0.1:%1").arg(portLine.mid(5).trimmed().toInt());

    auto config = NewConfig<TMoodleSysConfig>();
    config->SetRootUrl(root);
    config->SetAccountName(QStringLiteral("teacher"));
    config->SetAccountPassword(QStringLiteral("Secret-1"));

    QString sessionCookie;
    QWebEngineCookieStore* cookies = QWebEngineProfile::defaultProfile()->cookieStore();
    QObject::connect(cookies, &QWebEngineCookieStore::cookieAdded, [&](const QNetworkCookie& c) {
        if (c.name() == "MoodleSession")
            sessionCookie = QString::fromLatin1(c.value());
    });

    TEmbeddedWB target;
    target.resize(800, 600);
    target.show();
    TEmbeddedWB oper;
    oper.resize(1, 1);
    TMoodleSiteConnect::LoginToMoodle(&target, config.get());
    if (!TEmbeddedWBUtil::OpenUrlAndWait(&target, root + QStringLiteral("/course/edit.php?id=2"))
        || !target.LocationURL().endsWith(QLatin1String("/course/edit.php?id=2")))
        return Fail("the course page did not open");
    if (!testutil::waitUntil([&] { return !sessionCookie.isEmpty(); }, 5000))
        return Fail("no session cookie");

    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < FileCount; ++i) {
        QByteArray data(FileSize, '\0');
        for (int k = 0; k < FileSize; ++k)
            data[k] = char((k * 31 + i * 7) & 0xFF);
        const QString path = dir.filePath(QStringLiteral("picture%1.png").arg(i, 2, 10, QLatin1Char('0')));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
            return Fail("cannot write the pictures");
        files << path;
    }

    TMoodleRepoBrowserSite browserSite(&target, &oper);
    TMoodleRepoFileUploader uploader;
    uploader.SetUploadSite(&browserSite);
    uploader.SetTargetEditorId(QStringLiteral("id_summary_editor_ifr"));
    uploader.SetRepoItem(QStringLiteral("image"));
    uploader.SetMoodleRepoPostUrl(config->RepoUploadUrl());

    // The same fields for curl, read from the same page.
    QStringList params;
    TMoodleRepoBrowserSite::FillUploadParamValues(&target, QStringLiteral("id_summary_editor_ifr"), QStringLiteral("image"), params);
    QStringList curlArgs;
    for (int i = 0; i < FileCount; ++i) {
        if (i > 0)
            curlArgs << QStringLiteral("--next");
        curlArgs << QStringLiteral("-s") << QStringLiteral("-b") << QStringLiteral("MoodleSession=") + sessionCookie;
        for (const QString& line : params)
            curlArgs << QStringLiteral("--form-string") << line;
        curlArgs << QStringLiteral("--form-string") << QStringLiteral("title=C_%1_%2").arg(QFileInfo(files[i]).fileName(), QStringLiteral("ROUND"));
        curlArgs << QStringLiteral("-F") << QStringLiteral("repo_upload_file=@%1;type=image/x-png").arg(files[i]);
        curlArgs << QStringLiteral("-w") << QStringLiteral("\n") << config->RepoUploadUrl();
    }

    std::vector<double> ours, baseline;
    for (int round = 0; round < Rounds; ++round) {
        int okCount = 0;
        bool done = false;
        QElapsedTimer t;
        t.start();
        uploader.Upload(
            files, [&](bool ok, const QString&, const QString&, const Exception* e, bool&) {
                if (ok)
                    ++okCount;
                else if (e)
                    std::fprintf(stderr, "upload failed: %s\n", e->what());
            },
            [&](int, int) { done = true; }, [&](const Exception& e) { std::fprintf(stderr, "upload error: %s\n", e.what()); });
        const double oursMs = double(t.nsecsElapsed()) / 1e6;
        if (!done || okCount != FileCount)
            return Fail("our upload did not upload every picture");

        QProcess curl;
        t.restart();
        QStringList args = curlArgs;
        for (QString& a : args)
            a.replace(QLatin1String("_ROUND"), QStringLiteral("_%1").arg(round));
        curl.start(QStringLiteral(VANTOLI_CURL_TOOL), args);
        if (!curl.waitForFinished(120000) || curl.exitCode() != 0)
            return Fail("curl failed");
        const double curlMs = double(t.nsecsElapsed()) / 1e6;
        const QByteArray answers = curl.readAllStandardOutput();
        if (answers.count("\"url\"") != FileCount)
            return Fail("curl's posts were not all accepted");

        ours.push_back(oursMs);
        baseline.push_back(curlMs);
        std::printf("round %d: ours %.1f ms, curl %.1f ms\n", round + 1, oursMs, curlMs);
    }

    // For reading the figures: what a plain page load costs the engine here.
    QElapsedTimer floor;
    floor.start();
    for (int i = 0; i < FileCount; ++i)
        TEmbeddedWBUtil::OpenUrlAndWait(&oper, root + QStringLiteral("/login/index.php?n=%1").arg(i));
    std::printf("engine floor: %d page loads (GET, small page) in the posting browser %.1f ms, %.1f ms each\n", FileCount,
                double(floor.nsecsElapsed()) / 1e6, double(floor.nsecsElapsed()) / 1e6 / FileCount);

    const double o = Median(ours), b = Median(baseline);
    std::printf("files %d x %d KB\n", FileCount, FileSize / 1024);
    std::printf("ours (TMoodleRepoFileUploader through the browser) median %.1f ms, %.1f ms per file\n", o, o / FileCount);
    std::printf("baseline (curl, one run, same cookie and fields) median %.1f ms, %.1f ms per file\n", b, b / FileCount);
    std::printf("ratio %.2f\n", o / b);
    std::fflush(stdout);
    site.closeWriteChannel();
    site.waitForFinished(3000);
    return 0;
}
