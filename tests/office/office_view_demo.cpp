// Shows the document view with formatted text, the way the word editor will,
// and saves a picture of the window: office_view_demo <out.png>.
// Run it under a display (xvfb-run) to see the real widgets.
#include "officeclient.h"
#include "officedocumentview.h"
#include "officeformatbar.h"
#include "officetestutil.h"
#include "officewordautomation.h"
#include "testutil.h"

#include <QApplication>
#include <QClipboard>
#include <QMainWindow>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: office_view_demo <out.png>\n");
        return 2;
    }
    if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    QTemporaryDir work;
    TOfficeClient client(work.path(), officetest::HelperPath());
    client.Start();
    if (!client.WaitReady(120000)) {
        std::fprintf(stderr, "the helper did not start\n");
        return 1;
    }
    TOfficeWordAutomation word(client);
    auto doc = word.NewDocument();
    auto& office = dynamic_cast<TOfficeWordDocument&>(*doc);

    const QString picture = work.filePath(QStringLiteral("chart.png"));
    QImage chart(220, 110, QImage::Format_RGB32);
    chart.fill(Qt::white);
    for (int i = 0; i < 5; ++i)
        for (int y = 100 - (i + 1) * 18; y < 100; ++y)
            for (int x = 20 + i * 40; x < 45 + i * 40; ++x)
                chart.setPixelColor(x, y, QColor::fromHsv(40 * i, 160, 220));
    chart.save(picture);

    auto* mime = new QMimeData();
    mime->setHtml(QStringLiteral(
        "<h1>Photosynthesis</h1>"
        "<p>Plants turn <b>light</b>, <i>water</i> and <span style=\"color:#c00000\">carbon dioxide</span> into "
        "sugar and oxygen. <u>Remember the equation</u> for the test.</p>"
        "<ul><li>Light reactions in the thylakoids</li><li>The Calvin cycle in the stroma</li></ul>"
        "<table border=\"1\" cellpadding=\"4\"><tr><th>Input</th><th>Output</th></tr>"
        "<tr><td>6 CO<sub>2</sub> + 6 H<sub>2</sub>O</td><td>C<sub>6</sub>H<sub>12</sub>O<sub>6</sub> + 6 O<sub>2</sub></td></tr></table>"
        "<p style=\"text-align:center\"><img src=\"%1\" width=\"220\" height=\"110\"></p>")
                      .arg(QUrl::fromLocalFile(picture).toString()));
    QApplication::clipboard()->setMimeData(mime);
    doc->Paste();

    QMainWindow window;
    auto* view = new TOfficeDocumentView(client, office.DocId(), &window);
    window.addToolBar(new TOfficeFormatBar(*view, &window));
    window.setCentralWidget(view);
    window.setWindowTitle(QStringLiteral("Word Editor"));
    window.resize(1000, 760);
    window.show();
    window.activateWindow();
    // Without a window manager nothing activates the window by itself.
    QApplication::setActiveWindow(&window);
    view->setFocus();
    if (!QTest::qWaitForWindowExposed(&window))
        std::fprintf(stderr, "the window was not shown\n");

    // Typed like a user: a new paragraph in bold at the end.
    QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Return);
    QTest::keyClick(view, Qt::Key_B, Qt::ControlModifier);
    QTest::keyClicks(view, QStringLiteral("Typed in the embedded view."));
    doc->Text();   // every key handled

    testutil::waitUntil([] { return false; }, 1500);
    // The cursor blinks; a key shows it solid for a moment.
    QTest::keyClick(view, Qt::Key_Left);
    QTest::keyClick(view, Qt::Key_Right);
    doc->Text();
    testutil::waitUntil([] { return false; }, 100);
    const QImage shot = window.grab().toImage();
    if (!shot.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("saved %s (%dx%d), %d tiles cached, focus %d, cursor at %d,%d\n", argv[1], shot.width(), shot.height(),
                view->CachedTileCount(), view->hasFocus(), view->CursorTwips().x(), view->CursorTwips().y());
    return 0;
}
