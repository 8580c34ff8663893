// Not a test: runs one submission against the local Moodle-like site and
// saves two pictures: the word editor with its content (<prefix>-editor.png)
// and the site's course page after Done (<prefix>-site.png).
//   wordeditor_demo /tmp/shot      (xvfb-run for the real widgets)
#include "headlessengine.h"
#include "moodlesitefixture.h"
#include "officetestutil.h"

#include "app/config/appconfigs.h"
#include "app/wordeditor/wordeditorform.h"
#include "office/officeclient.h"
#include "office/officedocumentview.h"
#include "office/officewordautomation.h"
#include "web/embeddedwb.h"
#include "web/moodlesiteconnect.h"
#include "web/webbrowsers.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <cstdio>
#include <unistd.h>

namespace {

void Pump(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

} // namespace

int main(int argc, char** argv)
{
    PrepareHeadlessEngines();
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: wordeditor_demo <out-prefix>\n");
        return 2;
    }
    const QString prefix = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir work;
    TOfficeClient client(work.path(), officetest::HelperPath());
    client.Start();
    if (!client.WaitReady(120000)) {
        std::fprintf(stderr, "the helper did not start\n");
        return 1;
    }
    TMoodleSite site;
    if (!site.IsRunning()) {
        std::fprintf(stderr, "the site did not start\n");
        return 1;
    }
    auto config = site.NewSiteConfig();
    TEmbeddedWB browser;
    browser.resize(1000, 700);
    browser.show();
    TMoodleSiteConnect::LoginToMoodle(&browser, config.get());
    TEmbeddedWBUtil::OpenUrlAndWait(&browser, site.Url("/course/edit.php?id=2"));
    Pump(500);
    const THtmlElement frame = browser.Document().GetElementById(QStringLiteral("id_summary_editor_ifr"));

    const QString red = work.filePath("red.png"), blue = work.filePath("blue.png");
    officetest::WritePng(red, QColor(200, 40, 40), 120, 80);
    officetest::WritePng(blue, QColor(40, 80, 200), 90, 60);
    TFormWordEditor editor(client);
    QTimer::singleShot(300, &editor, [&] {
        auto* mime = new QMimeData();
        mime->setHtml(QStringLiteral("<html><body><h2>Lesson 1</h2><p>Some <b>bold</b> text and two pictures:</p>"
                                     "<p><img src=\"%1\"> <img src=\"%2\"></p></body></html>")
                          .arg(QUrl::fromLocalFile(red).toString(), QUrl::fromLocalFile(blue).toString()));
        QGuiApplication::clipboard()->setMimeData(mime);
        editor.WordDoc()->Paste();
        Pump(1500);
        editor.grab().save(prefix + "-editor.png");
        editor.BtnDone->click();
    });
    const bool ok = editor.Execute(&browser, frame, config.get());
    Pump(500);
    browser.grab().save(prefix + "-site.png");
    std::printf("Execute: %s\n%s\n", ok ? "true" : "false",
                frame.ContentDocument().Body().InnerHTML().toUtf8().constData());
    return ok ? 0 : 1;
}
