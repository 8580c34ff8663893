// bench_office: what the word editor pays per submission-sized job with its
// helper already warm, against a fresh converter process doing the same
// conversion. Both use a profile that already exists (built before timing).
//
//   ours:     helper start (warm profile), new document, paste of a 20-page
//             HTML page with 20 pictures, filtered HTML export
//   baseline: soffice --headless --convert-to html of the same page
//
// The last line is "ratio <ours/baseline>" (median of the runs).
#include "officeclient.h"
#include "officewordautomation.h"

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 3;
constexpr int kPages = 20;

QString MakePage(const QDir& dir)
{
    const QString words = QStringLiteral(
        "Cells take in nutrients, turn them into energy and build the molecules they need to grow. "
        "The teacher explains every step with an example from the laboratory and a short exercise. ");
    QString html = QStringLiteral("<html><head><meta charset=\"utf-8\"><title>Bench</title></head><body>");
    for (int page = 0; page < kPages; ++page) {
        QImage picture(480, 320, QImage::Format_RGB32);
        picture.fill(QColor::fromHsv((page * 37) % 360, 150, 230));
        for (int y = 40; y < 280; ++y)
            for (int x = 40 + (y % 7); x < 440; x += 9)
                picture.setPixelColor(x, y, QColor::fromHsv((page * 37 + 120) % 360, 200, 120));
        const QString file = dir.filePath(QStringLiteral("picture%1.png").arg(page));
        picture.save(file);
        html += QStringLiteral("<h2>Section %1</h2>").arg(page + 1);
        for (int p = 0; p < 6; ++p)
            html += QStringLiteral("<p>%1<b>Important:</b> %2<i>%3</i></p>").arg(words, words, words);
        html += QStringLiteral("<p><img src=\"%1\" width=\"480\" height=\"320\"></p>").arg(QUrl::fromLocalFile(file).toString());
        html += QStringLiteral("<table border=\"1\"><tr><td>Term %1</td><td>Meaning</td></tr></table>").arg(page);
    }
    html += QStringLiteral("</body></html>");
    const QString path = dir.filePath(QStringLiteral("page.html"));
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(html.toUtf8());
    return path;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int CountPictures(const QString& folder)
{
    return int(QDir(folder).entryList({QStringLiteral("*_html_*")}, QDir::Files).size());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir work;
    const QDir dir(work.path());
    const QString page = MakePage(dir);
    QFile file(page);
    file.open(QIODevice::ReadOnly);
    const QString html = QString::fromUtf8(file.readAll());
    std::printf("page: %d sections, %lld KB of HTML, %d pictures\n", kPages, (long long)(html.size() / 1024), kPages);

    // Warm both profiles with the same job, untimed: a profile is complete
    // only after LibreOffice has loaded what the job needs once.
    const QString ourFolder = dir.filePath(QStringLiteral("ours"));
    {
        TOfficeClient client(ourFolder, QStringLiteral(VANTOLI_OFFICE_HELPER));
        if (!client.WaitReady(120000)) {
            std::fprintf(stderr, "the helper did not start\n");
            return 1;
        }
        TOfficeWordAutomation word(client);
        auto doc = word.NewDocument();
        auto* mime = new QMimeData();
        mime->setHtml(html);
        QGuiApplication::clipboard()->setMimeData(mime);
        doc->Paste();
        doc->SaveAsFilteredHtml(dir.filePath(QStringLiteral("warm-ours/Exported.html")));
    }
    const QString sofficeProfile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("soffice-profile"))).toString();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    dir.mkpath(QStringLiteral("soffice-tmp"));
    env.insert(QStringLiteral("TMPDIR"), dir.filePath(QStringLiteral("soffice-tmp")));
    auto convert = [&](const QString& outDir) {
        QProcess soffice;
        soffice.setProcessEnvironment(env);
        soffice.start(QStringLiteral(VANTOLI_SOFFICE),
                      {QStringLiteral("-env:UserInstallation=") + sofficeProfile, QStringLiteral("--headless"),
                       QStringLiteral("--convert-to"), QStringLiteral("html"), QStringLiteral("--outdir"), outDir, page});
        soffice.waitForFinished(300000);
        return soffice.exitCode() == 0 && QFileInfo::exists(QDir(outDir).filePath(QStringLiteral("page.html")));
    };
    convert(dir.filePath(QStringLiteral("warm")));

    std::vector<double> ours, baseline;
    for (int run = 0; run < kRuns; ++run) {
        const QString out = dir.filePath(QStringLiteral("ours-%1/Exported.html").arg(run));
        QElapsedTimer timer;
        timer.start();
        TOfficeClient client(ourFolder, QStringLiteral(VANTOLI_OFFICE_HELPER));
        client.Start();
        if (!client.WaitReady(120000)) {
            std::fprintf(stderr, "the helper did not start\n");
            return 1;
        }
        const double started = timer.elapsed();
        TOfficeWordAutomation word(client);
        auto doc = word.NewDocument();
        auto* mime = new QMimeData();
        mime->setHtml(html);
        QGuiApplication::clipboard()->setMimeData(mime);
        doc->SelectAll();
        doc->Paste();
        const double pasted = timer.elapsed();
        doc->SaveAsFilteredHtml(out);
        const double total = timer.elapsed();
        ours.push_back(total);
        std::printf("ours run %d: %.0f ms (start %.0f, paste %.0f, export %.0f), %d pictures beside the page\n", run + 1,
                    total, started, pasted - started, total - pasted, CountPictures(QFileInfo(out).path()));
        std::fflush(stdout);
    }
    for (int run = 0; run < kRuns; ++run) {
        const QString outDir = dir.filePath(QStringLiteral("baseline-%1").arg(run));
        QElapsedTimer timer;
        timer.start();
        const bool ok = convert(outDir);
        const double total = timer.elapsed();
        baseline.push_back(total);
        std::printf("baseline run %d: %.0f ms%s\n", run + 1, total, ok ? "" : " (conversion failed)");
        std::fflush(stdout);
    }
    const double o = Median(ours), b = Median(baseline);
    std::printf("ours median %.0f ms, soffice --convert-to html median %.0f ms\n", o, b);
    std::printf("ratio %.3f\n", o / b);
    return 0;
}
