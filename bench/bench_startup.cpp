// Process start -> main window shown with the welcome page complete, against a
// bare QWebEngineView program loading the same local page. Each side runs in
// a fresh child process several times; the medians are compared.
// Last line: ratio <ours/baseline>.
#include "app/config/configsaveload.h"
#include "app/shell/abouts.h"
#include "app/shell/globaldm.h"
#include "app/shell/mainform.h"
#include "app/shell/tabbedbrowseclientframe.h"

#include <QApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {

double NowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6;
}

void Report()
{
    std::printf("DONE %.3f\n", NowMs());
    std::fflush(stdout);
}

int RunOurs(int argc, char** argv)
{
    QApplication app(argc, argv);
    TVantoliConfigPersistent::RegisterSaveLoader();
    auto dm = std::make_unique<TDmGlobal>();
    auto form = std::make_unique<TFormMain>();
    QObject::connect(form->FrameBrowseClient(), &TFrameTabbedBrowseClient::OnCurrBrowserDocComplete, &app, [] {
        Report();
        QCoreApplication::quit();
    });
    form->show();
    app.exec();
    form.reset();
    return 0;
}

int RunBaseline(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWebEngineView view;
    QObject::connect(&view, &QWebEngineView::loadFinished, &app, [] {
        Report();
        QCoreApplication::quit();
    });
    view.resize(1100, 760);
    view.show();
    view.load(QUrl(TVantoliAbout::AppWelcomeUrlLocal()));
    return app.exec();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double RunChild(const QString& exe, const char* mode, const QString& appData)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("APPDATA"), appData);
    if (::geteuid() == 0)
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    if (env.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty() && env.value(QStringLiteral("DISPLAY")).isEmpty())
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    const double start = NowMs();
    p.start(exe, {QString::fromLatin1(mode)});
    p.waitForFinished(60000);
    const QByteArray out = p.readAllStandardOutput();
    const int at = out.indexOf("DONE ");
    if (at < 0)
        return -1;
    return out.mid(at + 5).trimmed().split('\n').first().toDouble() - start;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && qstrcmp(argv[1], "ours") == 0)
        return RunOurs(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], "baseline") == 0)
        return RunBaseline(argc, argv);

    QCoreApplication app(argc, argv);
    QTemporaryDir appData;
    const QString exe = QCoreApplication::applicationFilePath();
    const int runs = 7;
    std::vector<double> ours, base;
    RunChild(exe, "baseline", appData.path()); // warm the file cache for both
    for (int i = 0; i < runs; ++i) {
        ours.push_back(RunChild(exe, "ours", appData.path()));
        base.push_back(RunChild(exe, "baseline", appData.path()));
    }
    if (std::count(ours.begin(), ours.end(), -1.0) || std::count(base.begin(), base.end(), -1.0)) {
        std::fprintf(stderr, "a child did not report\n");
        return 1;
    }
    const double o = Median(ours), b = Median(base);
    std::printf("start to welcome page complete, median of %d runs\n", runs);
    std::printf("ours: %.0f ms\n", o);
    std::printf("baseline (bare QWebEngineView, same page): %.0f ms\n", b);
    std::printf("ratio %.2f\n", o / b);
    return 0;
}
