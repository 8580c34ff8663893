#include "ftptestserver.h"
#include "moodlesitefixture.h"
#include "wordeditorsuite.h"
#include "officetestutil.h"
#include "testutil.h"

#include "app/config/appconfigs.h"
#include "app/uploaders/fileuploaderconfigs.h"
#include "app/uploaders/ftpfileuploader.h"
#include "app/wordeditor/sitecontent.h"
#include "app/wordeditor/uploadlogform.h"
#include "app/wordeditor/wordeditorform.h"
#include "office/officeclient.h"
#include "office/officewordautomation.h"
#include "utillib/globalutils.h"
#include "web/embeddedwb.h"
#include "web/moodleeditors.h"
#include "web/moodlesiteconnect.h"
#include "web/webbrowsers.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QMessageBox>
#include <QMimeData>
#include <QRegularExpression>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QLabel>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWebEngineSettings>
#include <gtest/gtest.h>

namespace {

const QString FrameId = QStringLiteral("id_summary_editor_ifr");

bool WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Runs action once the window is shown: Execute pumps events (page scripts)
// before its modal loop starts, so a plain zero timer could fire too early.
void WhenShown(QWidget* window, std::function<void()> action)
{
    auto* poll = new QTimer(window);
    QObject::connect(poll, &QTimer::timeout, window, [window, poll, action] {
        if (!window->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        action();
    });
    poll->start(20);
}

// Every test gets a fresh window, a fresh course page and a site preset of
// its own.
class WordEditorTest : public TWordEditorSuite {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(s_site->IsRunning());
        ASSERT_TRUE(s_client->WaitReady(120000));
        s_site->Configure(QJsonObject{{"upload_delay", 0}, {"upload_answers", QJsonArray()}, {"editor", "legacy"},
                                      {"editor_content", ""}, {"site_files", QJsonObject()}, {"maxbytes", -1}});
        m_config = s_site->NewSiteConfig();
        LoginOnce(m_config.get());
        ASSERT_TRUE(TEmbeddedWBUtil::OpenUrlAndWait(s_browser, s_site->Url("/course/edit.php?id=2")));
        ASSERT_TRUE(s_browser->LocationURL().endsWith("/course/edit.php?id=2")) << s_browser->LocationURL().toStdString();
        m_frame = s_browser->Document().GetElementById(FrameId);
        ASSERT_TRUE(m_frame.IsAssigned());
        // The editor frame is filled by the page's own script after load.
        ASSERT_TRUE(WaitFor([&] { return EditorHtml().contains("Text of summary_editor"); }, 10000));
        s_site->ResetRequests();
        m_form = std::make_unique<TFormWordEditor>(*s_client);
        m_form->SetEditorBrowser(s_browser);
        m_form->SetEditorElem(m_frame);
        m_form->SetMoodleSysConfig(m_config.get());
    }
    void TearDown() override
    {
        m_form.reset();
        FileUploaderPresetsConfig()->Presets()->Clear();
        // FTP threads free themselves through the event loop; let them.
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        m_ftp.reset();
    }

    // A real FTP server and an uploader preset for it, named by the site.
    void SetUpFtp(int rate = 4 * 1024 * 1024)
    {
        m_ftp = std::make_unique<FtpTestServer>(rate);
        QString error;
        ASSERT_TRUE(m_ftp->Start(&error)) << error.toStdString();
        TFlexConfigPreset* preset =
            FileUploaderPresetsConfig()->Presets()->CreateItem(&TFtpFileUploaderConfig::staticMetaObject);
        preset->SetName("pictures-ftp");
        auto* ftp = qobject_cast<TFtpFileUploaderConfig*>(preset->Config());
        ASSERT_NE(ftp, nullptr);
        ftp->SetUploaderName("FTP");
        ftp->SetHost("127.0.0.1");
        ftp->SetPort(m_ftp->Port());
        ftp->SetUserName(m_ftp->UserName());
        ftp->SetPassword(m_ftp->Password());
        ftp->SetVisitPath("http://pictures.example/up/");
        m_config->SetFileUploadMethod(TMoodleSysConfig::umCustom);
        m_config->SetCustomFileUploaderConfigName("pictures-ftp");
    }

    QString EditorHtml() const { return m_frame.ContentDocument().Body().InnerHTML(); }
    void SetEditorHtml(const QString& html) const { m_frame.ContentDocument().Body().SetInnerHTML(html); }
    QString Picture(const QString& name, const QColor& colour, int w = 40, int h = 30)
    {
        const QString path = m_dir.filePath(name);
        EXPECT_TRUE(officetest::WritePng(path, colour, w, h));
        return path;
    }
    static QString FileUrl(const QString& path) { return QUrl::fromLocalFile(path).toString(); }
    // A picture that does not compress (about 97 KB); answers its size.
    static qint64 NoisyPng(const QString& path, int seed)
    {
        QImage image(180, 180, QImage::Format_RGB888);
        QRandomGenerator random(quint32(seed + 1));
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, random.generate() & 0xFFFFFF);
        return image.save(path, "PNG") ? QFileInfo(path).size() : 0;
    }
    // Puts HTML into the window's document through the clipboard, the way a
    // user pastes.
    void PasteIntoDocument(const QString& html)
    {
        auto* mime = new QMimeData();
        mime->setHtml("<html><body>" + html + "</body></html>");
        QGuiApplication::clipboard()->setMimeData(mime);
        IWordDocument* doc = m_form->WordDoc();
        doc->SelectAll();
        doc->Paste();
    }
    QString ThreePicturesOneTwice()
    {
        const QString red = FileUrl(Picture("red.png", Qt::red));
        const QString blue = FileUrl(Picture("blue.png", Qt::blue, 30, 20));
        return QStringLiteral("<p>Pictures:</p><p><img src=\"%1\"> and <img src=\"%2\"></p><p>again <img src=\"%1\"></p>")
            .arg(red, blue);
    }
    int RepoPosts() const { return int(s_site->RequestsTo("/repository/repository_ajax.php").size()); }
    // Whether any upload post carried these bytes.
    bool AnyPostCarries(const QByteArray& bytes) const
    {
        for (const TSiteRequest& r : s_site->RequestsTo("/repository/repository_ajax.php"))
            if (r.Body.contains(bytes))
                return true;
        return false;
    }
    static QString PngBase64(const QColor& colour, int w = 24, int h = 16)
    {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(colour);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "PNG");
        return QString::fromLatin1(bytes.toBase64());
    }
    // The course page of an editor family whose editors start with html;
    // answers the element that takes the focus.
    THtmlElement OpenCoursePage(const TEditorPageCase& c, const QString& html)
    {
        s_site->Configure(QJsonObject{{"editor", c.Switch}, {"editor_content", html}});
        EXPECT_TRUE(TEmbeddedWBUtil::OpenUrlAndWait(s_browser, s_site->Url("/course/edit.php?id=2")));
        EXPECT_TRUE(WaitFor([&] { return s_browser->ScriptValue(c.ReadyScript).toBool(); }, 10000));
        return s_browser->Document().GetElementById(c.FocusId);
    }
    // The colours (at the centre) of the pictures the document holds, as its
    // HTML export writes them.
    QStringList DocumentPictureColours()
    {
        const QString folder = m_dir.filePath(QStringLiteral("export-%1").arg(++m_exports));
        m_form->WordDoc()->SaveAsFilteredHtml(folder + "/Exported.html");
        QStringList colours;
        for (const QString& name : QDir(folder).entryList(QDir::Files)) {
            const QImage image(QDir(folder).filePath(name));
            if (!image.isNull())
                colours << image.pixelColor(image.width() / 2, image.height() / 2).name();
        }
        colours.sort();
        return colours;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TMoodleSysConfig> m_config;
    THtmlElement m_frame;
    std::unique_ptr<TFormWordEditor> m_form;
    std::unique_ptr<FtpTestServer> m_ftp;
    int m_exports = 0;
};


TEST_F(WordEditorTest, EditorTextArrivesInTheDocumentAndAnEmptyEditorEmptiesIt)
{
    SetEditorHtml("<p>Hello <b>bold</b> world</p><p>Second line</p>");
    QGuiApplication::clipboard()->setText("previous clipboard");
    m_form->LoadEditorHtmlToWord(m_frame);
    EXPECT_TRUE(m_form->WordDoc()->Text().startsWith(QStringLiteral("Hello bold world\nSecond line")))
        << m_form->WordDoc()->Text().toStdString();
    // The content travelled over the clipboard, replacing what was there.
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->html().contains("<b>bold</b>"));

    SetEditorHtml("<p>  </p>");
    m_form->LoadEditorHtmlToWord(m_frame);
    EXPECT_EQ(m_form->WordDoc()->Text(), QString());
    EXPECT_EQ(m_form->WordDoc()->ParagraphCount(), 1);
}

TEST_F(WordEditorTest, FullConversionBringsTheEditorTextToo)
{
    SetEditorHtml("<p>Converted <i>text</i></p>");
    m_form->SetHtmlToWordEditorConvertMethod(TFormWordEditor::cmFullConversion);
    m_form->LoadEditorHtmlToWord(m_frame);
    EXPECT_TRUE(m_form->WordDoc()->Text().contains("Converted text")) << m_form->WordDoc()->Text().toStdString();
    // The page it went through lay in a folder of its own, gone afterwards.
    EXPECT_TRUE(QDir(AppTempPath(false)).entryList({"Import*"}, QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

TEST_F(WordEditorTest, DoneUploadsEachPictureOnceAndRewritesEverySrc)
{
    PasteIntoDocument(ThreePicturesOneTwice());
    std::vector<TFileUploader*> uploaders;
    bool doneEnabled = true, statusShown = false;
    QString statusText;
    m_form->OnUploaderReady = [&](TFileUploader* u) {
        uploaders.push_back(u);
        // While the run goes on, a second Done cannot start a second run.
        doneEnabled = m_form->BtnDone->isEnabled();
        statusShown = m_form->PanelSubmitStatus->isVisibleTo(m_form.get());
        statusText = m_form->LabelSubmitStatus->text();
    };

    EXPECT_EQ(m_form->SubmitToEditor(), orAllDone);
    EXPECT_FALSE(doneEnabled);
    EXPECT_TRUE(statusShown);
    EXPECT_EQ(statusText, QStringLiteral("Preparing"));
    EXPECT_EQ(m_form->LabelSubmitStatus->text(), QStringLiteral("Submit done"));
    EXPECT_TRUE(m_form->BtnDone->isEnabled());
    EXPECT_TRUE(m_form->UploadLogs().isEmpty()) << m_form->UploadLogs().join("\n").toStdString();
    EXPECT_EQ(RepoPosts(), 2);
    EXPECT_EQ(uploaders.size(), 1u);

    const QString html = EditorHtml();
    EXPECT_TRUE(html.startsWith("<div style=\"position: relative\">")) << html.toStdString();
    EXPECT_TRUE(html.endsWith("</div>")) << html.toStdString();
    EXPECT_FALSE(html.contains("MsoNormal", Qt::CaseInsensitive));
    EXPECT_TRUE(html.contains("Pictures:"));
    const QStringList srcs = officetest::ImageSources(html);
    ASSERT_EQ(srcs.size(), 3) << html.toStdString();
    for (const QString& src : srcs)
        EXPECT_TRUE(src.startsWith(s_site->RootUrl() + "/draftfile.php/")) << src.toStdString();
    EXPECT_EQ(srcs[0], srcs[2]);
    EXPECT_NE(srcs[0], srcs[1]);
    EXPECT_EQ(m_form->GaugeSubmitProgress->value(), m_form->GaugeSubmitProgress->maximum());
    EXPECT_EQ(m_form->GaugeSubmitProgress->maximum(), 3);
    EXPECT_EQ(m_form->CurrState(), TFormWordEditor::esEditing);

    // Opening the editor again brings the site's pictures (readable only with
    // the session) back into the document, and a second Done uploads them
    // again instead of losing them.
    m_form->LoadEditorHtmlToWord(m_frame);
    s_site->ResetRequests();
    EXPECT_EQ(m_form->SubmitToEditor(), orAllDone);
    EXPECT_EQ(RepoPosts(), 2);
    const QStringList again = officetest::ImageSources(EditorHtml());
    ASSERT_EQ(again.size(), 3) << EditorHtml().toStdString();
    for (const QString& src : again)
        EXPECT_TRUE(src.startsWith(s_site->RootUrl() + "/draftfile.php/")) << src.toStdString();
    EXPECT_EQ(again[0], again[2]);
    EXPECT_NE(again[0], srcs[0]);
}

TEST_F(WordEditorTest, EachEditorFamilyEndsUpWithTheSitesDraftAddresses)
{
    for (const TEditorPageCase& c : EditorPageCases()) {
        SCOPED_TRACE(c.Switch.toStdString());
        s_site->Configure(QJsonObject{{"editor", c.Switch}});
        ASSERT_TRUE(TEmbeddedWBUtil::OpenUrlAndWait(s_browser, s_site->Url("/course/edit.php?id=2")));
        ASSERT_TRUE(WaitFor([&] { return s_browser->ScriptValue(c.ReadyScript).toBool(); }, 10000));
        const THtmlElement editor = s_browser->Document().GetElementById(c.FocusId);
        ASSERT_TRUE(editor.IsAssigned());
        m_form->SetEditorElem(editor);
        m_form->SetHtmlToWordEditorConvertMethod(TFormWordEditor::cmClipboard);
        m_form->LoadEditorHtmlToWord(editor);
        EXPECT_TRUE(m_form->WordDoc()->Text().startsWith("Text of summary_editor")) << m_form->WordDoc()->Text().toStdString();

        const QString red = FileUrl(Picture("red.png", Qt::red));
        const QString blue = FileUrl(Picture("blue.png", Qt::blue, 30, 20));
        PasteIntoDocument(QStringLiteral("<h2>Lesson</h2><p>Two <b>bold</b> pictures: <img src=\"%1\"> and <img src=\"%2\"></p>")
                              .arg(red, blue));
        s_site->ResetRequests();
        EXPECT_EQ(m_form->SubmitToEditor(), orAllDone);
        EXPECT_TRUE(m_form->UploadLogs().isEmpty()) << m_form->UploadLogs().join("\n").toStdString();
        EXPECT_EQ(RepoPosts(), 2);
        // Posted under names of their own, never the export's generated ones.
        for (const TSiteRequest& r : s_site->RequestsTo("/repository/repository_ajax.php"))
            EXPECT_FALSE(r.Body.contains("_html_")) << r.Body.left(400).toStdString();

        // Read back the way the site reads its editor, then saved by the form.
        const QString itemid = s_browser->ScriptValue(
            "document.querySelector('input[name=\"summary_editor[itemid]\"]').value").toString();
        const QString draft = s_site->RootUrl() + "/draftfile.php/5/user/draft/" + itemid + "/";
        const QString html = s_browser->ScriptValue(c.ApiContentExpr).toString();
        const QStringList srcs = officetest::ImageSources(html);
        ASSERT_EQ(srcs.size(), 2) << html.toStdString();
        for (const QString& src : srcs)
            EXPECT_TRUE(src.startsWith(draft)) << src.toStdString();
        EXPECT_TRUE(html.simplified().contains("</strong> pictures:")) << html.toStdString();
        // What an editor of this family would have written itself: semantic
        // markup, every picture with an alternative text (empty here), none
        // of the word processor's classes or old picture attributes.
        EXPECT_TRUE(html.contains("<h2>")) << html.toStdString();
        EXPECT_TRUE(html.contains("<strong>bold</strong>")) << html.toStdString();
        EXPECT_EQ(html.count(QStringLiteral("alt=\"")), 2) << html.toStdString();
        static const QRegularExpression noise(QStringLiteral("\\b(class|lang|name|align|hspace|vspace|border)=|<font"));
        EXPECT_FALSE(noise.match(html).hasMatch()) << html.toStdString();
        s_site->ResetRequests();
        s_browser->ExecScript("setTimeout(function () { document.getElementById('id_submitbutton').click(); }, 0)");
        ASSERT_TRUE(WaitFor([&] { return !s_site->RequestsTo("/course/edit.php").isEmpty() && !s_browser->Busy(); }, 10000));
        EXPECT_EQ(officetest::ImageSources(s_site->RequestsTo("/course/edit.php").first().FormField("summary_editor[text]")),
                  srcs);

        // Back on the course page, the saved pictures (readable only with the
        // session) come into the document again, here by full conversion.
        ASSERT_TRUE(TEmbeddedWBUtil::OpenUrlAndWait(s_browser, s_site->Url("/course/edit.php?id=2")));
        ASSERT_TRUE(WaitFor([&] { return s_browser->ScriptValue(c.ReadyScript).toBool(); }, 10000));
        const THtmlElement again = s_browser->Document().GetElementById(c.FocusId);
        TMoodleEditors::SetContent(again, html);
        m_form->SetEditorElem(again);
        m_form->SetHtmlToWordEditorConvertMethod(TFormWordEditor::cmFullConversion);
        m_form->LoadEditorHtmlToWord(again);
        EXPECT_TRUE(m_form->WordDoc()->Text().contains("bold pictures:")) << m_form->WordDoc()->Text().toStdString();
        s_site->ResetRequests();
        EXPECT_EQ(m_form->SubmitToEditor(), orAllDone);
        EXPECT_EQ(RepoPosts(), 2);
        EXPECT_EQ(officetest::ImageSources(s_browser->ScriptValue(c.ApiContentExpr).toString()).size(), 2);
    }
}

TEST_F(WordEditorTest, DocumentWithoutPicturesCreatesNoUploaderAndExecuteAnswersTrue)
{
    SetEditorHtml("<p>Just words</p>");
    std::vector<TFileUploader*> uploaders;
    m_form->OnUploaderReady = [&](TFileUploader* u) { uploaders.push_back(u); };
    WhenShown(m_form.get(), [&] { m_form->BtnDone->click(); });
    EXPECT_TRUE(m_form->Execute(s_browser, m_frame, m_config.get()));
    EXPECT_TRUE(uploaders.empty());
    EXPECT_TRUE(m_form->UploadLogs().isEmpty());
    EXPECT_EQ(RepoPosts(), 0);
    EXPECT_TRUE(EditorHtml().contains("Just words"));
    EXPECT_TRUE(EditorHtml().startsWith("<div style=\"position: relative\">"));
}

TEST_F(WordEditorTest, DiscardAnswersFalseAndLeavesTheEditorAlone)
{
    SetEditorHtml("<p>Keep me</p>");
    const QString before = EditorHtml();
    WhenShown(m_form.get(), [&] { m_form->BtnCancel->click(); });
    EXPECT_FALSE(m_form->Execute(s_browser, m_frame, m_config.get()));
    EXPECT_EQ(EditorHtml(), before);
}

TEST_F(WordEditorTest, SecondPictureFailsPartialResultLogAndDiscardAnswersFalse)
{
    const QString a = FileUrl(Picture("a.png", Qt::red));
    const QString b = FileUrl(Picture("b.png", Qt::green, 20, 20));
    const QString c = FileUrl(Picture("c.png", Qt::blue, 30, 10));
    SetEditorHtml("<p>Site text</p>");
    s_site->Configure(QJsonObject{{"upload_answers",
                                   QJsonArray{QStringLiteral("{\"url\":\"%1/draftfile.php/5/user/draft/1/first.png\"}")
                                                  .arg(s_site->RootUrl()),
                                              QStringLiteral("{\"error\":\"Disk is full\"}")}}});

    QString logTitle;
    QStringList logLines;
    bool firstOutcome = true;
    WhenShown(m_form.get(), [&] {
        // The log dialog is modal inside Done: read and close it from a timer.
        auto* poll = new QTimer(m_form.get());
        QObject::connect(poll, &QTimer::timeout, m_form.get(), [&, poll] {
            TFormUploadLog* log = m_form->UploadLogForm();
            if (!log->isVisible())
                return;
            poll->stop();
            logTitle = log->Title();
            logLines = log->Log();
            log->BtnClose->click();
        });
        poll->start(50);
        PasteIntoDocument(QStringLiteral("<p>One <img src=\"%1\"> two <img src=\"%2\"> three <img src=\"%3\"></p>").arg(a, b, c));
        m_form->BtnDone->click();
        firstOutcome = m_form->isVisible();
        m_form->BtnCancel->click();
    });
    EXPECT_FALSE(m_form->Execute(s_browser, m_frame, m_config.get()));
    EXPECT_TRUE(firstOutcome) << "the window stays open after an incomplete submission";
    EXPECT_EQ(logTitle, QStringLiteral("Error occurs in uploading process"));
    EXPECT_EQ(logLines, m_form->UploadLogs());
    ASSERT_EQ(m_form->UploadLogs().size(), 1) << m_form->UploadLogs().join("\n").toStdString();
    const QString line = m_form->UploadLogs().first();
    EXPECT_TRUE(line.startsWith("[Error] Fail to upload file ")) << line.toStdString();
    EXPECT_TRUE(line.endsWith(": Disk is full")) << line.toStdString();
    EXPECT_EQ(RepoPosts(), 2);

    // The HTML went in all the same: the first picture uploaded, the failed
    // and the untried ones emptied.
    const QStringList srcs = officetest::ImageSources(EditorHtml());
    ASSERT_EQ(srcs.size(), 3) << EditorHtml().toStdString();
    EXPECT_EQ(srcs[0], s_site->RootUrl() + "/draftfile.php/5/user/draft/1/first.png");
    EXPECT_EQ(srcs[1], QString());
    EXPECT_EQ(srcs[2], QString());
    // The file named in the log is the second picture of the exported page.
    EXPECT_FALSE(line.contains("a.png"));
}

TEST_F(WordEditorTest, DoneThroughAnFtpPresetAddressesAreVisitPathAndServerName)
{
    SetUpFtp();
    PasteIntoDocument(ThreePicturesOneTwice());
    EXPECT_EQ(m_form->SubmitToEditor(), orAllDone) << m_form->UploadLogs().join("\n").toStdString();
    EXPECT_EQ(RepoPosts(), 0);
    const QStringList srcs = officetest::ImageSources(EditorHtml());
    ASSERT_EQ(srcs.size(), 3) << EditorHtml().toStdString();
    for (const QString& src : srcs) {
        ASSERT_TRUE(src.startsWith("http://pictures.example/up/")) << src.toStdString();
        const QString name = src.mid(QStringLiteral("http://pictures.example/up/").size());
        EXPECT_TRUE(QFile::exists(QDir(m_ftp->Root()).filePath(name))) << name.toStdString();
    }
    EXPECT_EQ(srcs[0], srcs[2]);
    EXPECT_NE(srcs[0], srcs[1]);
    EXPECT_EQ(QDir(m_ftp->Root()).entryList(QDir::Files).size(), 2);
}

TEST_F(WordEditorTest, MissingUploaderPresetFailsWithALineNamingItAndSendsNothing)
{
    SetUpFtp();
    m_config->SetCustomFileUploaderConfigName("deleted-preset");
    PasteIntoDocument(ThreePicturesOneTwice());
    EXPECT_EQ(m_form->SubmitToEditor(), orFail);
    ASSERT_EQ(m_form->UploadLogs().size(), 1);
    EXPECT_EQ(m_form->UploadLogs().first(), QStringLiteral("[Error] : Uploader preset \"deleted-preset\" not found"));
    EXPECT_EQ(m_ftp->LoginCount(), 0);
    EXPECT_EQ(RepoPosts(), 0);
    // The pictures keep their local addresses.
    const QStringList srcs = officetest::ImageSources(EditorHtml());
    ASSERT_EQ(srcs.size(), 3);
    EXPECT_FALSE(srcs[0].isEmpty());
    EXPECT_FALSE(srcs[0].contains("://"));
}

TEST_F(WordEditorTest, UnreachableFtpServerFailsAndKeepsTheLocalAddresses)
{
    SetUpFtp();
    m_ftp->Stop();
    PasteIntoDocument(ThreePicturesOneTwice());
    EXPECT_EQ(m_form->SubmitToEditor(), orFail);
    ASSERT_FALSE(m_form->UploadLogs().isEmpty());
    EXPECT_TRUE(m_form->UploadLogs().last().startsWith("[Error] : ")) << m_form->UploadLogs().join("\n").toStdString();
    const QStringList srcs = officetest::ImageSources(EditorHtml());
    ASSERT_EQ(srcs.size(), 3) << EditorHtml().toStdString();
    for (const QString& src : srcs) {
        EXPECT_FALSE(src.isEmpty());
        EXPECT_FALSE(src.contains("://")) << src.toStdString();
    }
}

TEST_F(WordEditorTest, AbortDuringAnUploadOfManyFiles)
{
    SetUpFtp(64 * 1024);
    // A page of its own whose pictures the server receives slowly.
    QStringList imgs;
    for (int i = 0; i < 6; ++i) {
        ASSERT_GT(NoisyPng(m_dir.filePath(QStringLiteral("slow%1.png").arg(i)), i), 90 * 1024);
        imgs << QStringLiteral("<img src=\"slow%1.png\">").arg(i);
    }
    const QString page = m_dir.filePath("page.html");
    ASSERT_TRUE(testutil::writeFile(page, ("<html><body>" + imgs.join(" ") + "</body></html>").toUtf8()));
    TEmbeddedWB browser;
    browser.Navigate(QUrl::fromLocalFile(page).toString());
    ASSERT_TRUE(TEmbeddedWB::WaitForReadyState(&browser, TEmbeddedWB::rsComplete, false));

    QTimer::singleShot(800, m_form.get(), [&] { m_form->AbortUploading(); });
    EXPECT_EQ(m_form->CheckAndUploadHtmlImages(browser.Document(), m_dir.path()), orFail);
    ASSERT_FALSE(m_form->UploadLogs().isEmpty());
    EXPECT_EQ(m_form->UploadLogs().last(), QStringLiteral("[Error] : User terminated uploading"));
    EXPECT_LT(QDir(m_ftp->Root()).entryList(QDir::Files).size(), 6);
}

TEST_F(WordEditorTest, SrcTextsOfOneFileShareTheUploadAndOtherSourcesStayAsTheyAre)
{
    Picture("pic.png", Qt::red);
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("sub"));
    Picture("sub/My Pic.png", Qt::blue);
    const QString pic = FileUrl(m_dir.filePath("pic.png"));
    const QString spaced = QUrl::fromLocalFile(m_dir.filePath("sub/My Pic.png")).toString(QUrl::FullyEncoded);
    const QString data = "data:image/gif;base64,R0lGODlhAQABAAAAACw=";
    const QString web = "http://elsewhere.example/logo.png";
    // Document order: which src names which file, and what it must become.
    const QStringList srcs{"pic.png", "./pic.png", pic, spaced, "sub/My%20Pic.png", data, web};
    QString body;
    for (const QString& src : srcs)
        body += QStringLiteral("<img src=\"%1\">").arg(src);
    const QString page = m_dir.filePath("page.html");
    ASSERT_TRUE(testutil::writeFile(page, ("<html><body>" + body + "</body></html>").toUtf8()));
    TEmbeddedWB browser;
    browser.Navigate(QUrl::fromLocalFile(page).toString());
    ASSERT_TRUE(TEmbeddedWB::WaitForReadyState(&browser, TEmbeddedWB::rsComplete, false));

    EXPECT_EQ(m_form->CheckAndUploadHtmlImages(browser.Document(), m_dir.path()), orAllDone)
        << m_form->UploadLogs().join("\n").toStdString();
    EXPECT_EQ(RepoPosts(), 2);
    const QVariantList now = browser.ExecScript(
        "Array.prototype.map.call(document.getElementsByTagName('img'), function(e){ return e.getAttribute('src'); })").toList();
    ASSERT_EQ(now.size(), srcs.size());
    const QString first = now[0].toString(), second = now[3].toString();
    EXPECT_TRUE(first.startsWith(s_site->RootUrl() + "/draftfile.php/")) << first.toStdString();
    EXPECT_TRUE(second.startsWith(s_site->RootUrl() + "/draftfile.php/")) << second.toStdString();
    EXPECT_NE(first, second);
    EXPECT_EQ(now[1].toString(), first);
    EXPECT_EQ(now[2].toString(), first);
    EXPECT_EQ(now[4].toString(), second);
    EXPECT_EQ(now[5].toString(), data);
    EXPECT_EQ(now[6].toString(), web);
}

TEST_F(WordEditorTest, AbortEndsARepositoryPostInFlight)
{
    // The site holds every upload for a long time; Abort must not wait for it.
    s_site->Configure(QJsonObject{{"upload_delay", 8}});
    PasteIntoDocument(ThreePicturesOneTwice());
    m_form->OnUploaderReady = [&](TFileUploader*) {
        QTimer::singleShot(700, m_form.get(), [&] { m_form->BtnAbort->click(); });
    };
    EXPECT_EQ(m_form->SubmitToEditor(), orFail);
    ASSERT_FALSE(m_form->UploadLogs().isEmpty());
    EXPECT_EQ(m_form->UploadLogs().last(), QStringLiteral("[Error] : User terminated uploading"));
    // The first post was ended, not finished: no picture got a site address.
    for (const QString& src : officetest::ImageSources(EditorHtml()))
        EXPECT_FALSE(src.contains("/draftfile.php/")) << src.toStdString();
    s_site->Configure(QJsonObject{{"upload_delay", 0}});
}

TEST_F(WordEditorTest, BottomPanelDoubleClickImportAndExport)
{
    PasteIntoDocument("<p>Old content</p>");
    QTest::mouseDClick(m_form->PanelBottom, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(m_form->WordDoc()->Text(), QString());
    EXPECT_EQ(m_form->HtmlToWordEditorConvertMethod(), TFormWordEditor::cmClipboard);

    const QString docx = m_dir.filePath("in.docx");
    const QString error = officetest::WriteDocxWithPython(docx, {"Imported title", "Imported body"});
    if (!error.isEmpty())
        GTEST_SKIP() << "python3-docx: " << error.toStdString();
    m_form->ImportWordDocument(docx);
    EXPECT_TRUE(m_form->WordDoc()->Text().startsWith("Imported title\nImported body")) << m_form->WordDoc()->Text().toStdString();
    const QString out = m_dir.filePath("out.odt");
    m_form->ExportWordDocument(out, "odt");
    EXPECT_GT(QFileInfo(out).size(), 0);
}

TEST_F(WordEditorTest, AnErrorInDoneIsShownAndTheWindowStaysUsable)
{
    // A preset of a type nobody registered: creating its uploader fails.
    TFlexConfigPreset* preset = FileUploaderPresetsConfig()->Presets()->CreateItem(&TFileUploaderConfig::staticMetaObject);
    preset->SetName("strange");
    qobject_cast<TFileUploaderConfig*>(preset->Config())->SetUploaderName("NoSuchType");
    m_config->SetFileUploadMethod(TMoodleSysConfig::umCustom);
    m_config->SetCustomFileUploaderConfigName("strange");
    const QString picture = FileUrl(Picture("x.png", Qt::red));

    QString shown;
    bool doneEnabledAfter = false;
    WhenShown(m_form.get(), [&] {
        auto* poll = new QTimer(m_form.get());
        QObject::connect(poll, &QTimer::timeout, m_form.get(), [&, poll] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll->stop();
            shown = box->text();
            box->accept();
            doneEnabledAfter = m_form->BtnDone->isEnabled();
            m_form->BtnCancel->click();
        });
        poll->start(50);
        PasteIntoDocument(QStringLiteral("<p><img src=\"%1\"></p>").arg(picture));
        m_form->BtnDone->click();
    });
    EXPECT_FALSE(m_form->Execute(s_browser, m_frame, m_config.get()));
    EXPECT_FALSE(shown.isEmpty());
    EXPECT_TRUE(doneEnabledAfter);
    EXPECT_EQ(m_form->CurrState(), TFormWordEditor::esEditing);
}

// Site content (any user of the site may have written it) names the
// teacher's own files in every way an address can. Whatever the editor
// family and the convert method, none of them reaches the document, the
// status line counts them, and Done sends none of them.
TEST_F(WordEditorTest, SiteContentNamingLocalFilesNeverReachesTheDocument)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("home/Pictures"));
    const QString secret = Picture("home/Pictures/holiday.png", Qt::magenta);
    ASSERT_TRUE(QFile::link(secret, m_dir.filePath("escape.png")));
    QFile secretFile(secret);
    ASSERT_TRUE(secretFile.open(QIODevice::ReadOnly));
    const QByteArray secretBytes = secretFile.readAll();
    s_site->Configure(QJsonObject{{"site_files", QJsonObject{{"/pluginfile.php/25/course/summary/0/site.png",
        QJsonObject{{"type", "image/png"}, {"base64", PngBase64(Qt::blue)}}}}}});
    const QString url = FileUrl(secret);
    struct TCase {
        const char* What;
        QString Html;
        bool NamesLocalFile; // counted on the status line
    };
    const TCase cases[] = {
        {"file: address", "<img src=\"" + url + "\">", true},
        {"file: with a host, upper case", "<img src=\"FILE://localhost" + secret + "\">", true},
        {"scheme written as an entity, blanks before", "<img src=\"  &#102;ile://" + secret + "\">", true},
        {"a link beside the page that points out", "<img src=\"" + FileUrl(m_dir.filePath("escape.png")) + "\">", true},
        {"style background", "<p style=\"background-image: url('" + url + "')\">styled</p>", true},
        {"style background with an escape", "<p style=\"background: u\\72l(" + url + ")\">escaped</p>", true},
        {"table background", "<table background=\"" + url + "\"><tr><td>cell</td></tr></table>", true},
        // Relative to the site page: addresses on the site, not local files.
        {"dot-dot path", "<img src=\"../../../../../../.." + secret + "\">", false},
        {"absolute path", "<img src=\"" + secret + "\">", false},
        {"inside noscript", "<noscript><img src=\"" + url + "\"></noscript>", false},
        {"inside a comment", "<!-- <img src=\"" + url + "\"> -->", false},
        {"site picture relative to the page", "<img src=\"../pluginfile.php/25/course/summary/0/site.png\">", false},
        {"data: picture", "<img src=\"data:image/png;base64," + PngBase64(Qt::green) + "\">", false},
    };
    QString html = "<p>Text of summary_editor from the site</p>";
    int local = 0;
    for (const TCase& c : cases) {
        html += "<p>" + QString::fromLatin1(c.What) + ": " + c.Html + "</p>";
        local += c.NamesLocalFile ? 1 : 0;
    }
    const QStringList expectedColours{QColor(Qt::blue).name(), QColor(Qt::green).name()};

    for (const TEditorPageCase& page : EditorPageCases()) {
        for (const auto method : {TFormWordEditor::cmClipboard, TFormWordEditor::cmFullConversion}) {
            SCOPED_TRACE(page.Switch.toStdString() + (method == TFormWordEditor::cmClipboard ? " clipboard" : " full"));
            const THtmlElement editor = OpenCoursePage(page, html);
            ASSERT_TRUE(editor.IsAssigned());
            m_form->SetEditorElem(editor);
            m_form->SetHtmlToWordEditorConvertMethod(method);
            m_form->LoadEditorHtmlToWord(editor);
            EXPECT_TRUE(m_form->WordDoc()->Text().contains("Text of summary_editor from the site"))
                << m_form->WordDoc()->Text().toStdString();
            EXPECT_EQ(m_form->LabelEditStatus->text(),
                      QStringLiteral("%1 pictures of the site's content named local files and were left out").arg(local));
            EXPECT_EQ(DocumentPictureColours(), expectedColours);
            if (method == TFormWordEditor::cmClipboard) {
                const QString handed = QGuiApplication::clipboard()->mimeData()->html();
                // The user's folder is named only inside site addresses (the
                // dot-dot and absolute paths, made addresses on the site).
                EXPECT_EQ(handed.count(secret), 2) << handed.toStdString();
                EXPECT_EQ(handed.count(s_site->RootUrl() + secret), 2) << handed.toStdString();
                EXPECT_FALSE(handed.contains("escape.png")) << handed.toStdString();
            }
        }
    }

    // The document as it came in is submitted: the site's picture and the
    // data: one go back, nothing of the user's. (By full conversion the word
    // processor turns a picture it could not load into an empty file of its
    // own, which is refused as no picture.)
    const THtmlElement editor = OpenCoursePage(EditorPageCases().first(), html);
    m_form->SetEditorElem(editor);
    m_form->SetHtmlToWordEditorConvertMethod(TFormWordEditor::cmClipboard);
    m_form->LoadEditorHtmlToWord(editor);
    s_site->ResetRequests();
    EXPECT_EQ(m_form->SubmitToEditor(), orAllDone) << m_form->UploadLogs().join("\n").toStdString();
    EXPECT_EQ(RepoPosts(), 2);
    EXPECT_FALSE(AnyPostCarries(secretBytes));
}

// The teacher's session reads every page of the site; only the site's own
// files that are pictures (by their type and by their bytes), within the
// page's size limit, come into the document.
TEST_F(WordEditorTest, SitePicturesFetchedWithTheSessionAreTheSitesOwnPicturesOnly)
{
    const QString secret = Picture("secret.png", Qt::magenta);
    const QString reportPage = "<html><body><h2>User report</h2><p>Assignment 1: 87.50</p></body></html>";
    QString big;
    {
        const QString bigFile = m_dir.filePath("big.png");
        ASSERT_GT(NoisyPng(bigFile, 7), 5000);
        QFile f(bigFile);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        big = QString::fromLatin1(f.readAll().toBase64());
    }
    const QString dir = "/pluginfile.php/25/course/summary/0/";
    auto file = [](const QString& type, const QString& key, const QString& value) {
        return QJsonObject{{"type", type}, {key, value}};
    };
    QJsonObject moved{{"status", 302}, {"location", "/grade/report/user/index.php?id=2"}, {"type", "text/html"}};
    s_site->Configure(QJsonObject{
        {"maxbytes", 4000},
        {"site_files", QJsonObject{
            {dir + "good.png", file("image/png", "base64", PngBase64(Qt::blue))},
            {dir + "notes.png", file("image/png", "text", "private notes of the teacher")},
            {dir + "report.png", file("text/html; charset=utf-8", "text", reportPage)},
            {dir + "moved.png", moved},
            {dir + "big.png", file("image/png", "base64", big)},
            {dir + "drawing.svg", file("image/svg+xml", "text",
                                       "<svg xmlns='http://www.w3.org/2000/svg' xmlns:xlink='http://www.w3.org/1999/xlink'"
                                       " width='20' height='20'><image xlink:href='" + FileUrl(secret)
                                           + "' width='20' height='20'/></svg>")},
        }}});
    const QString other = s_site->RootUrl().replace("127.0.0.1", "localhost");
    struct TCase {
        const char* What;
        QString Src;
    };
    const TCase cases[] = {
        {"a picture of the site", dir + "good.png"},
        {"a text file named .png", dir + "notes.png"},
        {"a page served under a picture's name", dir + "report.png"},
        {"a redirect to the grade report", dir + "moved.png"},
        {"a picture above the page's maxbytes", dir + "big.png"},
        {"a vector picture naming a local file", dir + "drawing.svg"},
        {"the grade report itself", "/grade/report/user/index.php?id=2"},
        {"another origin", other + dir + "good.png"},
    };
    QString html = "<p>Text of summary_editor with pictures</p>";
    for (const TCase& c : cases)
        html += "<p>" + QString::fromLatin1(c.What) + ": <img src=\"" + c.Src + "\"></p>";
    const THtmlElement editor = OpenCoursePage(EditorPageCases().first(), html);
    ASSERT_TRUE(editor.IsAssigned());
    m_form->SetEditorElem(editor);
    m_form->LoadEditorHtmlToWord(editor);
    EXPECT_EQ(m_form->LabelEditStatus->text(), QString());
    // The one picture of the site arrived (readable only with the session).
    EXPECT_EQ(DocumentPictureColours(), QStringList{QColor(Qt::blue).name()});

    s_site->ResetRequests();
    m_form->SubmitToEditor();
    EXPECT_EQ(RepoPosts(), 1) << m_form->UploadLogs().join("\n").toStdString();
    EXPECT_FALSE(AnyPostCarries("87.50"));
    EXPECT_FALSE(AnyPostCarries("private notes"));
    EXPECT_FALSE(AnyPostCarries("<svg"));
}

// Only files the export wrote into its own folder are uploaded: what lies
// elsewhere, links out of the folder, folders and files that are no
// pictures are not, keep no address, and each gets a line saying why.
TEST_F(WordEditorTest, OnlyTheDocumentsOwnPicturesAreUploaded)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("export/folder.png"));
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("home"));
    const QString folder = m_dir.filePath("export");
    const QString secret = Picture("home/secret.png", Qt::magenta);
    Picture("export/own.png", Qt::red);
    ASSERT_TRUE(testutil::writeFile(m_dir.filePath("export/text.png"), "user=teacher\npassword=Secret-1\n"));
    ASSERT_TRUE(QFile::link(m_dir.filePath("export/own.png"), m_dir.filePath("export/inlink.png")));
    ASSERT_TRUE(QFile::link(secret, m_dir.filePath("export/outlink.png")));
    QFile secretFile(secret);
    ASSERT_TRUE(secretFile.open(QIODevice::ReadOnly));
    const QByteArray secretBytes = secretFile.readAll();

    struct TCase {
        QString Src;
        const char* Why; // empty: uploaded
    };
    const TCase cases[] = {
        {"own.png", ""},
        {"inlink.png", ""}, // a link to a picture beside it: the same file
        {"text.png", "not a picture"},
        {"outlink.png", "lies outside their folder"},
        {"folder.png", "not a regular file"},
        {"missing.png", "no such file"},
        {"../home/secret.png", "lies outside their folder"},
        {FileUrl(secret), "lies outside their folder"},
        {"/etc/passwd", "no such file"},
    };
    QString body;
    for (const TCase& c : cases)
        body += QStringLiteral("<img src=\"%1\">").arg(c.Src);
    const QString page = m_dir.filePath("export/Exported.html");
    ASSERT_TRUE(testutil::writeFile(page, ("<html><body>" + body + "</body></html>").toUtf8()));
    TEmbeddedWB browser;
    browser.Navigate(QUrl::fromLocalFile(page).toString());
    ASSERT_TRUE(TEmbeddedWB::WaitForReadyState(&browser, TEmbeddedWB::rsComplete, false));

    EXPECT_EQ(m_form->CheckAndUploadHtmlImages(browser.Document(), folder), orPartialDone);
    EXPECT_EQ(RepoPosts(), 1);
    EXPECT_FALSE(AnyPostCarries(secretBytes));
    EXPECT_FALSE(AnyPostCarries("password=Secret-1"));
    const QVariantList now = browser.ExecScript(
        "Array.prototype.map.call(document.getElementsByTagName('img'), function(e){ return e.getAttribute('src'); })").toList();
    ASSERT_EQ(now.size(), int(std::size(cases)));
    const QStringList logs = m_form->UploadLogs();
    for (int i = 0; i < now.size(); ++i) {
        const TCase& c = cases[i];
        SCOPED_TRACE(c.Src.toStdString());
        const QString why = QString::fromLatin1(c.Why);
        const QStringList lines = logs.filter("Picture " + c.Src + " not uploaded: ");
        if (why.isEmpty()) {
            EXPECT_TRUE(now[i].toString().startsWith(s_site->RootUrl() + "/draftfile.php/")) << now[i].toString().toStdString();
            EXPECT_TRUE(lines.isEmpty());
        } else {
            EXPECT_EQ(now[i].toString(), QString());
            ASSERT_EQ(lines.size(), 1) << logs.join("\n").toStdString();
            EXPECT_TRUE(lines.first().startsWith("[Error] ")) << lines.first().toStdString();
            EXPECT_TRUE(lines.first().contains(why)) << lines.first().toStdString();
        }
    }
    EXPECT_EQ(now[0], now[1]);
    EXPECT_EQ(logs.size(), int(std::size(cases)) - 2) << logs.join("\n").toStdString();

    // Nothing but refusals: nothing is sent and the result is a failure.
    s_site->ResetRequests();
    browser.Navigate(QUrl::fromLocalFile(page).toString());
    ASSERT_TRUE(TEmbeddedWB::WaitForReadyState(&browser, TEmbeddedWB::rsComplete, false));
    browser.ExecScript("var i = document.getElementsByTagName('img'); i[0].remove(); i[0].remove();");
    EXPECT_EQ(m_form->CheckAndUploadHtmlImages(browser.Document(), folder), orFail);
    EXPECT_EQ(RepoPosts(), 0);

    // A submission's own folder is gone once it is done.
    PasteIntoDocument(ThreePicturesOneTwice());
    EXPECT_EQ(m_form->SubmitToEditor(), orAllDone) << m_form->UploadLogs().join("\n").toStdString();
    EXPECT_TRUE(QDir(AppTempPath(false)).entryList({"Submit*"}, QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
}

// What LibreOffice keeps of active content: it drops <script> elements but
// keeps onerror and other event attributes and javascript: links, and writes
// them into its HTML export. The exported page is loaded with scripts off,
// and what reaches the site editor has none of them, nor has what the word
// processor is given of the site's content.
TEST_F(WordEditorTest, ExportedPageRunsNothingAndTheSiteEditorGetsNoScript)
{
    const QString active = QStringLiteral(
        "<p>Start<script>document.title='script ran'</script></p>"
        "<p><img src=\"%1\" onerror=\"document.title='onerror ran'\"> picture</p>"
        "<p><a href=\"javascript:document.title='link ran'\">jlink</a>"
        " <a href=\" JaVa&#x09;Script:void(0)\">tabbed</a>"
        " <a href=\"http://x.example/\" onmouseover=\"document.title='hover ran'\">web</a></p>")
        .arg(FileUrl(Picture("red.png", Qt::red)));
    PasteIntoDocument(active);
    const QString folder = m_dir.filePath("kept");
    m_form->WordDoc()->SaveAsFilteredHtml(folder + "/Exported.html");
    QFile exportFile(folder + "/Exported.html");
    ASSERT_TRUE(exportFile.open(QIODevice::ReadOnly));
    const QString exported = QString::fromUtf8(exportFile.readAll());
    EXPECT_FALSE(exported.contains("<script", Qt::CaseInsensitive)) << exported.toStdString();
    EXPECT_FALSE(exported.contains("script ran")) << exported.toStdString();
    EXPECT_TRUE(exported.contains("onerror=")) << exported.toStdString();
    EXPECT_TRUE(exported.contains("javascript:")) << exported.toStdString();
    EXPECT_TRUE(exported.contains("onmouseover=")) << exported.toStdString();

    EXPECT_EQ(m_form->SubmitToEditor(), orAllDone) << m_form->UploadLogs().join("\n").toStdString();
    const QString html = EditorHtml();
    for (const char* word : {"<script", "onerror", "onmouseover", "javascript:", "ran'"})
        EXPECT_FALSE(html.contains(QLatin1String(word), Qt::CaseInsensitive)) << word << ": " << html.toStdString();
    EXPECT_TRUE(html.contains("jlink"));
    EXPECT_TRUE(html.contains("http://x.example/"));
    EXPECT_TRUE(officetest::ImageSources(html).value(0).startsWith(s_site->RootUrl() + "/draftfile.php/"));

    // The page that held the export ran none of its own script.
    const QWebEngineSettings* settings = m_form->BrowserDoc->page()->settings();
    EXPECT_FALSE(settings->testAttribute(QWebEngineSettings::JavascriptEnabled));
    EXPECT_FALSE(settings->testAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls));
    const QString scripted = m_dir.filePath("scripted.html");
    ASSERT_TRUE(testutil::writeFile(scripted, "<html><head><title>quiet</title><script>document.title='ran';</script>"
                                              "</head><body onload=\"document.title='onload ran'\">"
                                              "<img src=\"none.png\" onerror=\"document.title='onerror ran'\"></body></html>"));
    m_form->BrowserDoc->Navigate(QUrl::fromLocalFile(scripted).toString());
    ASSERT_TRUE(TEmbeddedWB::WaitForReadyState(m_form->BrowserDoc, TEmbeddedWB::rsComplete, false));
    QTest::qWait(200);
    EXPECT_EQ(m_form->BrowserDoc->Document().Title(), QStringLiteral("quiet"));

    // The site's content with active parts reaches the word processor
    // without them.
    SetEditorHtml("<p>Site text</p>" + active);
    m_form->LoadEditorHtmlToWord(m_frame);
    const QString handed = QGuiApplication::clipboard()->mimeData()->html();
    for (const char* word : {"<script", "onerror", "onmouseover", "javascript:"})
        EXPECT_FALSE(handed.contains(QLatin1String(word), Qt::CaseInsensitive)) << word << ": " << handed.toStdString();
    EXPECT_TRUE(handed.contains("jlink"));
}

TEST(SiteContent, SiteFileAddressesAreTheRootsOriginAndFileScriptsOnly)
{
    const QUrl root("https://school.example/moodle");
    const struct {
        const char* Url;
        bool Site;
    } cases[] = {
        {"https://school.example/moodle/pluginfile.php/25/course/summary/0/a.png", true},
        {"https://school.example/moodle/draftfile.php/5/user/draft/1/a.png", true},
        {"https://SCHOOL.example:443/moodle/pluginfile.php?file=/25/a.png", true},
        {"http://school.example/moodle/pluginfile.php/25/a.png", false},       // https to http
        {"https://school.example:8443/moodle/pluginfile.php/25/a.png", false}, // another port
        {"https://other.example/moodle/pluginfile.php/25/a.png", false},
        {"https://school.example/pluginfile.php/25/a.png", false},             // beside the root
        {"https://school.example/moodle/grade/report/user/index.php?id=2", false},
        {"https://school.example/moodle/pluginfile.php/../grade/report/user/index.php", false},
        {"https://school.example/moodle/pluginfile.phpx/25/a.png", false},
        {"file:///moodle/pluginfile.php/25/a.png", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TSiteContent::IsSiteFileAddress(QUrl(QString::fromLatin1(c.Url)), root), c.Site) << c.Url;
    EXPECT_EQ(TSiteContent::PictureCap(QVariant(-1)), TSiteContent::DefaultPictureCap);
    EXPECT_EQ(TSiteContent::PictureCap(QVariant("2048")), 2048);
    EXPECT_EQ(TSiteContent::PictureCap(QVariant()), TSiteContent::DefaultPictureCap);
}

TEST(UploadLogForm, TitleDefaultsAndExecuteReplacesTheLines)
{
    TFormUploadLog log;
    log.Execute({}, QString(), false);
    EXPECT_EQ(log.Title(), QStringLiteral("Log"));
    EXPECT_EQ(log.MemoLog->toPlainText(), QString());
    EXPECT_TRUE(log.isVisible());
    log.Execute({"[Error] : one", "[Error] : two"}, "Error occurs in uploading process", false);
    EXPECT_EQ(log.Title(), QStringLiteral("Error occurs in uploading process"));
    EXPECT_EQ(log.Log(), (QStringList{"[Error] : one", "[Error] : two"}));
    EXPECT_EQ(log.windowTitle(), QStringLiteral("File Upload Log"));
    log.BtnClose->click();
    EXPECT_FALSE(log.isVisible());
}

} // namespace
