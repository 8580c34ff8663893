// What a submission puts into the site editor: documents made by another
// program (python-docx) and by the word processor itself, submitted to the
// local site; the editor's HTML is read through the browser's own DOM.
#include "moodlesitefixture.h"
#include "wordeditorsuite.h"
#include "officetestutil.h"

#include "app/config/appconfigs.h"
#include "app/wordeditor/wordeditorform.h"
#include "office/officeclient.h"
#include "office/officewordautomation.h"
#include "web/embeddedwb.h"
#include "web/moodlesiteconnect.h"
#include "web/webbrowsers.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>
#include <iostream>
#include <map>

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

std::string S(const QString& s)
{
    return s.toStdString();
}

// The site editor's content as the browser parsed it.
struct TEditorContent {
    std::map<QString, int> Tags;  // element name -> count
    QStringList Attributes;       // every attribute name used
    QStringList ImgSrcs, ImgAlts, ImgFloats;
    QList<bool> ImgHasAlt;
    int NestedLists = 0;          // lists inside list items
    QStringList Colspans;
    QStringList Links;
    QStringList Styles;           // every style attribute
    QString Text;                 // whitespace collapsed

    int Count(const char* tag) const
    {
        auto it = Tags.find(QLatin1String(tag));
        return it == Tags.end() ? 0 : it->second;
    }
    // The structure that must survive a way back into the document.
    QString Shape() const
    {
        QStringList parts;
        for (const char* t : {"h1", "h2", "ul", "ol", "li", "table", "th", "td", "img", "a"})
            parts << QStringLiteral("%1=%2").arg(QLatin1String(t)).arg(Count(t));
        parts << QStringLiteral("nested=%1").arg(NestedLists) << QStringLiteral("alts=") + ImgAlts.join(",")
              << QStringLiteral("floats=") + ImgFloats.join(",") << QStringLiteral("colspans=") + Colspans.join(",");
        return parts.join(QLatin1Char(' '));
    }
};

TEditorContent ReadEditor(TEmbeddedWB* browser)
{
    const QVariantMap m = browser->ScriptValue(QStringLiteral(
        "(function () {"
        " var b = document.getElementById('%1').contentDocument.body;"
        " var out = {tags: {}, attrs: {}, srcs: [], alts: [], hasAlt: [], floats: [], colspans: [], links: [], styles: []};"
        " var all = b.getElementsByTagName('*');"
        " for (var i = 0; i < all.length; i++) { var e = all[i], t = e.tagName.toLowerCase();"
        "  out.tags[t] = (out.tags[t] || 0) + 1;"
        "  for (var j = 0; j < e.attributes.length; j++) out.attrs[e.attributes[j].name] = 1;"
        "  if (e.hasAttribute('style')) out.styles.push(e.getAttribute('style'));"
        "  if (e.hasAttribute('colspan')) out.colspans.push(e.getAttribute('colspan'));"
        "  if (t == 'a' && e.hasAttribute('href')) out.links.push(e.getAttribute('href'));"
        "  if (t == 'img') { out.srcs.push(e.src); out.alts.push(e.getAttribute('alt') || '');"
        "   out.hasAlt.push(e.hasAttribute('alt')); out.floats.push(e.style.cssFloat || ''); } }"
        " out.nested = b.querySelectorAll('li > ul, li > ol').length;"
        " out.attrs = Object.keys(out.attrs); out.text = b.innerText.replace(/\\s+/g, ' ').trim();"
        " return out; })()").arg(FrameId)).toMap();
    TEditorContent c;
    const QVariantMap tags = m.value("tags").toMap();
    for (auto it = tags.begin(); it != tags.end(); ++it)
        c.Tags[it.key()] = it.value().toInt();
    c.Attributes = m.value("attrs").toStringList();
    c.ImgSrcs = m.value("srcs").toStringList();
    c.ImgAlts = m.value("alts").toStringList();
    c.ImgFloats = m.value("floats").toStringList();
    for (const QVariant& v : m.value("hasAlt").toList())
        c.ImgHasAlt << v.toBool();
    c.NestedLists = m.value("nested").toInt();
    c.Colspans = m.value("colspans").toStringList();
    c.Links = m.value("links").toStringList();
    c.Styles = m.value("styles").toStringList();
    c.Text = m.value("text").toString();
    return c;
}

QString WriteDocx(const QString& kind, const QString& path, const QString& folder)
{
    QProcess python;
    python.start(QStringLiteral(VANTOLI_SYSTEM_PYTHON),
                 {QStringLiteral(VANTOLI_TESTS_SOURCE_DIR "/wordeditor/htmlclean_docs.py"), kind, path, folder});
    if (!python.waitForFinished(60000) || python.exitCode() != 0)
        return QString::fromUtf8(python.readAllStandardError()) + python.errorString();
    return {};
}

// One document of the table and what the site editor must show for it.
struct TDocCase {
    const char* Name;
    const char* DocxKind;   // made by python-docx, or
    const char* Pasted;     // HTML pasted into the word processor (%1 %2: picture addresses)
    std::map<QString, int> Tags; // at least this many of each
    QStringList SiteNames;  // the pictures' file names on the site, in document order
    QStringList Alts;
    QStringList Floats;
    int WithoutAlt;
    QStringList Links;
    QStringList Styles;     // each is part of some style attribute
    int NestedLists;
    QStringList Texts;      // each is in the text
};

const char* const WordProcessorRich =
    "<h1>Energy</h1><p>The <b>sun</b> gives <i>light</i>.</p><h2>Parts</h2>"
    "<ol><li>Leaf<ol><li>Cell</li></ol></li><li>Root</li></ol>"
    "<table border=\"1\"><thead><tr><th>Part</th><th>Role</th></tr></thead>"
    "<tbody><tr><td colspan=\"2\">Both merged</td></tr><tr><td>Leaf</td><td>Food</td></tr></tbody></table>"
    "<p>See <a href=\"https://example.org/sun\">the sun page</a> and <span style=\"color: #c00000\">red text</span>.</p>"
    "<p><img src=\"%1\" alt=\"A red square\" width=\"40\" height=\"30\"> and "
    "<img src=\"%2\" width=\"30\" height=\"20\" style=\"float: right\"> floated.</p>";

const QList<TDocCase>& Cases()
{
    static const QList<TDocCase> cases{
        {"docx headings and paragraphs", "headings", nullptr,
         {{"h1", 1}, {"h2", 1}, {"p", 2}, {"strong", 1}, {"em", 1}, {"u", 1}, {"sub", 1}, {"sup", 1}, {"s", 1}},
         {}, {}, {}, 0, {}, {}, 0, {"Photosynthesis", "Plants make sugar from light and water.", "A second paragraph."}},
        {"docx nested lists", "lists", nullptr, {{"ol", 2}, {"li", 5}}, {}, {}, {}, 0, {}, {}, 2,
         {"Collect light", "Chlorophyll absorbs", "Bullet nested"}},
        {"docx table with header row and merged cell", "table", nullptr, {{"table", 1}, {"th", 3}, {"td", 5}},
         {}, {}, {}, 0, {}, {"border-collapse: collapse", "border: 1px solid"}, 0, {"Merged root and stem"}},
        {"docx link", "link", nullptr, {{"a", 1}}, {}, {}, {}, 0, {"https://example.org/photo?a=1&b=2"}, {}, 0,
         {"Read more at the science page."}},
        {"docx coloured text", "colour", nullptr, {{"span", 2}}, {}, {}, {}, 0, {},
         {"color: #c00000", "font-size: 20pt"}, 0, {"Red warning and highlighted and big"}},
        {"docx pictures with and without alternative text", "pictures", nullptr, {{"img", 3}},
         {"Leaf-photo.png", "Picture-7.png", "Sun-diagram.png"}, {"A red leaf on white", "", "The sun shining"},
         {"", "", "right"}, 1, {}, {}, 0, {"Inline leaf:", "text beside the floated picture"}},
        {"docx of everything", "rich", nullptr,
         {{"h1", 1}, {"h2", 1}, {"ol", 3}, {"table", 1}, {"th", 3}, {"a", 1}, {"img", 3}},
         {"Leaf-photo.png", "Picture-7.png", "Sun-diagram.png"}, {"A red leaf on white", "", "The sun shining"},
         {"", "", "right"}, 1, {"https://example.org/photo?a=1&b=2"}, {"color: #c00000", "border-collapse: collapse"},
         2, {"Photosynthesis", "Merged root and stem"}},
        {"word processor document of everything", nullptr, WordProcessorRich,
         {{"h1", 1}, {"h2", 1}, {"ol", 2}, {"table", 1}, {"th", 2}, {"td", 3}, {"a", 1}, {"img", 2}, {"span", 1}},
         {"picture-1.png", "picture-2.png"}, {"A red square", ""}, {"", "right"}, 1, {"https://example.org/sun"},
         {"color: #c00000"}, 1, {"Energy", "Both merged"}},
    };
    return cases;
}

class HtmlCleanTest : public TWordEditorSuite {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(s_site->IsRunning());
        ASSERT_TRUE(s_client->WaitReady(120000));
        s_site->Configure(QJsonObject{{"upload_delay", 0}, {"upload_answers", QJsonArray()}, {"editor", "legacy"}});
        m_config = s_site->NewSiteConfig();
        LoginOnce(m_config.get());
        OpenCoursePage();
        m_form = std::make_unique<TFormWordEditor>(*s_client);
        m_form->SetEditorBrowser(s_browser);
        m_form->SetEditorElem(m_frame);
        m_form->SetMoodleSysConfig(m_config.get());
    }
    void TearDown() override { m_form.reset(); }

    void OpenCoursePage()
    {
        ASSERT_TRUE(TEmbeddedWBUtil::OpenUrlAndWait(s_browser, s_site->Url("/course/edit.php?id=2")));
        m_frame = s_browser->Document().GetElementById(FrameId);
        ASSERT_TRUE(m_frame.IsAssigned());
        ASSERT_TRUE(WaitFor([&] { return m_frame.ContentDocument().Body().InnerHTML().contains("Text of summary_editor"); },
                            10000));
    }

    void PasteIntoDocument(const QString& html)
    {
        auto* mime = new QMimeData();
        mime->setHtml("<html><body>" + html + "</body></html>");
        QGuiApplication::clipboard()->setMimeData(mime);
        IWordDocument* doc = m_form->WordDoc();
        doc->SelectAll();
        doc->Paste();
    }

    // The file names the site stored, in upload order.
    QStringList SiteFileNames() const
    {
        QStringList names;
        for (const TSiteRequest& r : s_site->RequestsTo("/repository/repository_ajax.php"))
            for (const QString& line : QString::fromUtf8(r.Body).split("\r\n"))
                if (line.contains("name=\"repo_upload_file\""))
                    names << line.section("filename=\"", 1).section('"', 0, 0);
        return names;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TMoodleSysConfig> m_config;
    THtmlElement m_frame;
    std::unique_ptr<TFormWordEditor> m_form;
};


TEST_F(HtmlCleanTest, EachDocumentArrivesAsEditorHtmlWithNamedPicturesAndComesBackTheSame)
{
    for (const TDocCase& c : Cases()) {
        SCOPED_TRACE(c.Name);
        OpenCoursePage();
        m_form->SetEditorElem(m_frame);
        m_form->SetHtmlToWordEditorConvertMethod(TFormWordEditor::cmClipboard);
        if (c.DocxKind) {
            const QString docx = m_dir.filePath(QStringLiteral("%1.docx").arg(c.DocxKind));
            const QString error = WriteDocx(c.DocxKind, docx, m_dir.path());
            ASSERT_TRUE(error.isEmpty()) << S(error);
            m_form->ImportWordDocument(docx);
        } else {
            const QString red = m_dir.filePath("red.png"), blue = m_dir.filePath("blue.png");
            ASSERT_TRUE(officetest::WritePng(red, Qt::red) && officetest::WritePng(blue, Qt::blue, 30, 20));
            PasteIntoDocument(QString::fromUtf8(c.Pasted)
                                  .arg(QUrl::fromLocalFile(red).toString(), QUrl::fromLocalFile(blue).toString()));
        }

        QString note;
        m_form->OnUploaderReady = [&](TFileUploader*) {
            note = m_form->LabelSubmitNote->isVisibleTo(m_form.get()) ? m_form->LabelSubmitNote->text() : QString();
        };
        s_site->ResetRequests();
        ASSERT_EQ(m_form->SubmitToEditor(), orAllDone) << S(m_form->UploadLogs().join("\n"));
        const TEditorContent first = ReadEditor(s_browser);
        if (QLatin1String(c.Name) == QLatin1String("docx of everything"))
            std::cout << "--- site editor HTML of the richest document ---\n"
                      << S(m_frame.ContentDocument().Body().InnerHTML()) << "\n---" << std::endl;

        for (const auto& [tag, n] : c.Tags)
            EXPECT_GE(first.Count(tag.toUtf8().constData()), n) << S(tag) << " in " << S(first.Shape());
        // None of the word processor's markup.
        for (const char* gone : {"font", "b", "i", "strike", "col", "colgroup", "style", "script", "meta", "title"})
            EXPECT_EQ(first.Count(gone), 0) << gone;
        for (const char* gone : {"class", "lang", "name", "align", "hspace", "vspace", "border", "valign",
                                 "cellpadding", "cellspacing", "face", "size", "bgcolor"})
            EXPECT_FALSE(first.Attributes.contains(QLatin1String(gone))) << gone;
        for (const QString& style : first.Styles)
            EXPECT_FALSE(style.contains("in;") || style.contains("in ") || style.endsWith("in") || style.contains("margin-bottom")
                         || style.contains("line-height"))
                << S(style);
        for (const QString& want : c.Styles)
            EXPECT_TRUE(first.Styles.join("|").contains(want)) << S(want) << " in " << S(first.Styles.join("|"));
        for (const QString& text : c.Texts)
            EXPECT_TRUE(first.Text.contains(text)) << S(text) << " in " << S(first.Text);
        EXPECT_EQ(first.Links, c.Links);
        EXPECT_GE(first.NestedLists, c.NestedLists) << S(first.Shape());

        // Pictures: the site names them after the document; each has an alt,
        // empty when the document gives none, and the status line counts those.
        EXPECT_EQ(first.ImgAlts, c.Alts);
        EXPECT_EQ(first.ImgFloats, c.Floats);
        for (bool has : first.ImgHasAlt)
            EXPECT_TRUE(has);
        EXPECT_EQ(SiteFileNames(), c.SiteNames);
        QStringList srcNames;
        for (const QString& src : first.ImgSrcs) {
            EXPECT_TRUE(src.startsWith(s_site->RootUrl() + "/draftfile.php/")) << S(src);
            // The repository uploader puts its time stamp before the name, as
            // an FTP preset that stamps names does.
            static const QRegularExpression stamp(QStringLiteral("^F[0-9]{17}_"));
            QString name = QUrl(src).fileName();
            EXPECT_TRUE(stamp.match(name).hasMatch()) << S(name);
            srcNames << name.remove(stamp);
        }
        EXPECT_EQ(srcNames, c.SiteNames);
        EXPECT_EQ(S(note), c.WithoutAlt == 0 ? "" : c.WithoutAlt == 1 ? "1 picture has no alternative text"
                                                                   : S(QStringLiteral("%1 pictures have no alternative text").arg(c.WithoutAlt)));

        // The way back: the written HTML, loaded into the document by either
        // method and submitted again, has the same structure and alt texts.
        for (auto method : {TFormWordEditor::cmClipboard, TFormWordEditor::cmFullConversion}) {
            SCOPED_TRACE(method == TFormWordEditor::cmClipboard ? "clipboard" : "full conversion");
            m_form->SetHtmlToWordEditorConvertMethod(method);
            m_form->ResetWordDocument();
            m_form->LoadEditorHtmlToWord(m_frame);
            ASSERT_EQ(m_form->SubmitToEditor(), orAllDone) << S(m_form->UploadLogs().join("\n"));
            const TEditorContent again = ReadEditor(s_browser);
            EXPECT_EQ(S(again.Shape()), S(first.Shape()));
            EXPECT_EQ(again.Links, first.Links);
            for (const QString& text : c.Texts)
                EXPECT_TRUE(again.Text.contains(text)) << S(text) << " in " << S(again.Text);
        }
    }
}

} // namespace
