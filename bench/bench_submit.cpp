// A document with 20 pictures of about 500 KB submitted to the local
// Moodle-like site through the word editor (Done -> every picture uploaded
// through the site's repository -> HTML inserted into the site editor),
// against one curl run posting the same 20 files to the same endpoint with the
// same session cookie and fields. Last line: ratio <ours/baseline>.
#include "headlessengine.h"
#include "moodlesitefixture.h"

#include "app/config/appconfigs.h"
#include "app/wordeditor/wordeditorform.h"
#include "app/uploaders/moodlerepouploaders.h"
#include "office/officeclient.h"
#include "office/officewordautomation.h"
#include "web/embeddedwb.h"
#include "web/moodlereposite.h"
#include "web/moodlesiteconnect.h"
#include "web/webbrowsers.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QMimeData>
#include <QNetworkCookie>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWebEngineCookieStore>
#include <QWebEngineProfile>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int FileCount = 20;

void Pump(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

int Fail(const char* why)
{
    std::fprintf(stderr, "bench_submit: %s\n", why);
    return 1;
}

// Noise does not compress: a 410 x 410 picture is about 500 KB as PNG.
bool WriteNoisePng(const QString& path, quint32 seed)
{
    QImage img(410, 410, QImage::Format_RGB32);
    QRandomGenerator gen(seed);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            line[x] = gen.generate() | 0xFF000000u;
    }
    return img.save(path, "PNG");
}

} // namespace

int main(int argc, char** argv)
{
    PrepareHeadlessEngines();
    QApplication app(argc, argv);

    QTemporaryDir work;
    TOfficeClient client(work.filePath(QStringLiteral("office")), QStringLiteral(VANTOLI_OFFICE_HELPER));
    client.Start();
    if (!client.WaitReady(120000))
        return Fail("the word-processor helper did not start");
    TMoodleSite site;
    if (!site.IsRunning())
        return Fail("the test site did not start");

    QString sessionCookie;
    QObject::connect(QWebEngineProfile::defaultProfile()->cookieStore(), &QWebEngineCookieStore::cookieAdded,
                     [&](const QNetworkCookie& c) {
                         if (c.name() == "MoodleSession")
                             sessionCookie = QString::fromLatin1(c.value());
                     });
    auto config = site.NewSiteConfig();
    TEmbeddedWB browser;
    browser.resize(1000, 700);
    browser.show();
    TMoodleSiteConnect::LoginToMoodle(&browser, config.get());
    if (!TEmbeddedWBUtil::OpenUrlAndWait(&browser, site.Url("/course/edit.php?id=2")))
        return Fail("the course page did not open");
    Pump(500);
    const THtmlElement frame = browser.Document().GetElementById(QStringLiteral("id_summary_editor_ifr"));
    if (!frame || sessionCookie.isEmpty())
        return Fail("no editor or no session on the course page");

    QStringList files;
    QString html = QStringLiteral("<html><body><h2>Lesson</h2>");
    for (int i = 0; i < FileCount; ++i) {
        const QString path = work.filePath(QStringLiteral("picture%1.png").arg(i, 2, 10, QLatin1Char('0')));
        if (!WriteNoisePng(path, 1000u + static_cast<quint32>(i)))
            return Fail("cannot write the pictures");
        files << path;
        html += QStringLiteral("<p>Picture %1</p><p><img src=\"%2\"></p>").arg(i).arg(QUrl::fromLocalFile(path).toString());
    }
    html += QStringLiteral("</body></html>");
    const qint64 bytes = QFileInfo(files.first()).size();

    // Ours: Done -> the HTML is in the site editor with every picture uploaded.
    TFormWordEditor editor(client);
    QElapsedTimer submitClock;
    QTimer::singleShot(300, &editor, [&] {
        auto* mime = new QMimeData();
        mime->setHtml(html);
        QGuiApplication::clipboard()->setMimeData(mime);
        editor.WordDoc()->Paste();
        Pump(2000);
        // Measured from the click until Execute has returned.
        submitClock.start();
        editor.BtnDone->click();
    });
    const bool ok = editor.Execute(&browser, frame, config.get());
    const double oursMs = double(submitClock.nsecsElapsed()) / 1e6;
    const QString body = frame.ContentDocument().Body().InnerHTML();
    const int uploaded = static_cast<int>(body.count(QStringLiteral("/draftfile.php/")));
    if (!ok || uploaded < FileCount)
        return Fail("the submission did not upload every picture");

    // Baseline: curl posts the same files, fields and cookie one after another.
    QStringList params;
    TMoodleRepoBrowserSite::FillUploadParamValues(&browser, QStringLiteral("id_summary_editor_ifr"), QStringLiteral("image"), params);
    QStringList args;
    for (int i = 0; i < FileCount; ++i) {
        if (i > 0)
            args << QStringLiteral("--next");
        args << QStringLiteral("-s") << QStringLiteral("-b") << QStringLiteral("MoodleSession=") + sessionCookie;
        for (const QString& line : params)
            args << QStringLiteral("--form-string") << line;
        args << QStringLiteral("--form-string") << QStringLiteral("title=C_%1").arg(QFileInfo(files[i]).fileName());
        args << QStringLiteral("-F") << QStringLiteral("repo_upload_file=@%1;type=image/png").arg(files[i]);
        args << QStringLiteral("-w") << QStringLiteral("\n") << config->RepoUploadUrl();
    }
    QProcess curl;
    QElapsedTimer t;
    t.start();
    curl.start(QStringLiteral(VANTOLI_CURL_TOOL), args);
    if (!curl.waitForFinished(120000) || curl.exitCode() != 0)
        return Fail("curl failed");
    const double curlMs = double(t.nsecsElapsed()) / 1e6;
    if (curl.readAllStandardOutput().count("draftfile.php") < FileCount)
        return Fail("curl's posts were not all accepted");

    std::printf("%d pictures of %lld bytes each\n", FileCount, static_cast<long long>(bytes));
    std::printf("ours (Done -> HTML in the site editor): %.0f ms\n", oursMs);
    std::printf("baseline (curl, same files, fields and cookie): %.0f ms\n", curlMs);
    std::printf("ratio %.2f\n", oursMs / curlMs);
    return 0;
}
