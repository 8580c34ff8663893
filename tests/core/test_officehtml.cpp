#include "utillib/exceptions.h"
#include "utillib/htmltree.h"
#include "utillib/officehtmlutils.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

std::string S(const QString& s)
{
    return s.toStdString();
}

// The cleaned page's body, parsed again: tests look at elements, not text.
struct TParsed {
    std::unique_ptr<THtmlNode> Root;
    THtmlNode* Body = nullptr;
    explicit TParsed(const QString& html) : Root(THtmlTree::Parse(html)), Body(Root->Find("body")) {}
    std::vector<THtmlNode*> All(const QString& tag) const { return Body->FindAll(tag); }
    int Count(const QString& tag) const { return int(All(tag).size()); }
    // Every attribute name used anywhere in the body, and every class.
    QSet<QString> AttributeNames() const
    {
        QSet<QString> names;
        std::vector<THtmlNode*> stack{Body};
        while (!stack.empty()) {
            THtmlNode* n = stack.back();
            stack.pop_back();
            for (const auto& a : n->Attributes())
                names.insert(a.first);
            for (const auto& c : n->Children())
                if (c->IsElement())
                    stack.push_back(c.get());
        }
        return names;
    }
};

QString Body(const QString& inner)
{
    return QStringLiteral("<!DOCTYPE html>\n<html><head><meta http-equiv=\"content-type\" content=\"text/html; "
                          "charset=utf-8\"/><style type=\"text/css\">p { margin-bottom: 0.08in }</style></head>\n"
                          "<body lang=\"en-US\" link=\"#000080\" vlink=\"#800000\" dir=\"ltr\">")
        + inner + QStringLiteral("</body></html>");
}

} // namespace

TEST(HtmlTree, ImpliedEndsEntitiesAndRawText)
{
    // The word processor leaves out </li>; entities decode; a script's text
    // is not parsed as markup.
    const auto root = THtmlTree::Parse(
        "<body><ol><li><p>one</p><li><p>two &amp; &lt;3&gt; &#x263A; &nbsp;x</p></ol>"
        "<script>if (a < b) document.write('<p>no</p>')</script><table><tr><td>a<td>b<tr><td>c</table>"
        "<p>after<!-- comment --></body>");
    THtmlNode* body = root->Find("body");
    ASSERT_NE(body, nullptr);
    const auto items = body->FindAll("li");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(S(items[1]->InnerText()), S(QString::fromUtf8("two & <3> \u263A \u00A0x")));
    EXPECT_EQ(items[1]->Parent(), items[0]->Parent());
    EXPECT_EQ(body->FindAll("p").size(), 3u);
    EXPECT_EQ(body->FindAll("td").size(), 3u);
    EXPECT_EQ(body->FindAll("tr").size(), 2u);
    EXPECT_EQ(S(body->Find("script")->InnerText()), "if (a < b) document.write('<p>no</p>')");
    EXPECT_EQ(S(THtmlTree::InnerHtml(*items[1])), "<p>two &amp; &lt;3&gt; \u263A &nbsp;x</p>");
}

TEST(OfficeHtml, ExportMarkupBecomesEditorMarkup)
{
    struct Case {
        const char* Name;
        const char* Exported;
        const char* Expected; // the body's inner HTML, lines joined
    };
    const Case cases[] = {
        {"classes and margins", "<h1 class=\"western\">\nTitle</h1>\n<p class=\"MsoNormal\" style=\"margin-bottom: 0.14in; line-height: 115%\">Text</p>",
         "<h1>Title</h1>|<p>Text</p>"},
        {"inline formatting", "<p><b>b</b> <i>i</i> <u>u</u> <strike>s</strike> H<sub>2</sub>O m<sup>2</sup></p>",
         "<p><strong>b</strong> <em>i</em> <u>u</u> <s>s</s> H<sub>2</sub>O m<sup>2</sup></p>"},
        {"fonts, language and empty spans", "<p><font face=\"Cambria, serif\"><font size=\"2\" style=\"font-size: 11pt\">plain</font></font> <span lang=\"de-DE\">Wort</span><span></span></p>",
         "<p>plain Wort</p>"},
        {"author's colour, size, highlight", "<p><font color=\"#c00000\">red</font> <font size=\"5\" style=\"font-size: 20pt\">big</font> <span style=\"background: #ffff00\">hi</span> <span style=\"background: transparent\">no</span></p>",
         "<p><span style=\"color: #c00000\">red</span> <span style=\"font-size: 20pt\">big</span> <span style=\"background-color: #ffff00\">hi</span> no</p>"},
        {"alignment stays, left goes", "<p align=\"center\" style=\"margin-top: 0.1in\">c</p><p align=\"left\">l</p><p style=\"text-align: justify\">j</p>",
         "<p style=\"text-align: center\">c</p>|<p>l</p>|<p style=\"text-align: justify\">j</p>"},
        {"nested lists with start numbers", "<ol start=\"3\" type=\"a\">\n\t<li><p style=\"margin-bottom: 0in\">one</p>\n\t<ul>\n\t\t<li><p>inner</p>\n\t</ul>\n\t<li><p>two</p>\n</ol>",
         "<ol start=\"3\" type=\"a\">|<li><p>one</p>|<ul>|<li>inner</li>|</ul>|</li>|<li>two</li>|</ol>"},
        {"header row, spans, borders", "<table width=\"576\" cellpadding=\"7\" cellspacing=\"0\"><col width=\"177\"/><thead><tr valign=\"top\"><td width=\"177\" style=\"border: 1px solid #000000; padding: 0in 0.08in\"><p align=\"left\">Head</p></td></tr></thead>"
         "<tbody><tr><td colspan=\"2\" rowspan=\"1\" bgcolor=\"#dddddd\" style=\"border-top: 0.01in solid #000000; border-left: none\"><p>Cell</p><p>Two</p></td></tr></tbody></table>",
         "<table style=\"border-collapse: collapse\">|<thead>|<tr>|<th scope=\"col\" style=\"border: 1px solid #000000\">Head</th>|</tr>|</thead>|<tbody>|<tr>|"
         "<td colspan=\"2\" style=\"background-color: #dddddd; border-top: 1px solid #000000\"><p>Cell</p>|<p>Two</p>|</td>|</tr>|</tbody>|</table>"},
        {"links and anchors", "<p><a href=\"https://example.org/?a=1&amp;b=2\" target=\"_blank\">web</a> <a href=\"#sec\">jump</a> <a name=\"sec\"></a><a name=\"_GoBack\"></a>x <a href=\"javascript:alert(1)\">js</a> <a href=\" java&#09;script:alert(1)\">tab</a></p>",
         "<p><a href=\"https://example.org/?a=1&amp;b=2\">web</a> <a href=\"#sec\">jump</a> <a id=\"sec\"></a>x js tab</p>"},
        {"script, events, frames and forms go", "<p onclick=\"steal()\">ok<script>steal()</script><iframe src=\"https://evil\"></iframe><input value=\"x\"><img src=\"x.png\" onerror=\"steal()\" name=\"Image1\"></p><style>p{}</style>",
         "<p>ok<img src=\"picture-1.png\" alt=\"\"></p>"},
        {"picture alignment", "<p><img src=\"a.png\" name=\"Left one\" align=\"left\" hspace=\"12\" vspace=\"3\" width=\"96\" height=\"72\" border=\"0\"/>t<img src=\"b.png\" name=\"Image2\" align=\"bottom\" hspace=\"12\" width=\"10\" height=\"20\" border=\"0\"/><img src=\"https://site/x.png\" align=\"middle\"><img src=\"javascript:x\"></p>",
         "<p><img src=\"Left-one.png\" alt=\"\" width=\"96\" height=\"72\" style=\"float: left; margin: 3px 12px\">t<img src=\"picture-2.png\" alt=\"\" width=\"10\" height=\"20\"><img src=\"https://site/x.png\" alt=\"\" style=\"vertical-align: middle\"></p>"},
        {"line breaks and empty paragraphs", "<p>one<br/>\ntwo</p>\n<p style=\"margin-bottom: 0in\"><br/>\n</p>", "<p>one<br>two</p>|<p><br></p>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TOfficeDocFacts facts;
        facts.DefaultFontSizePt = 11;
        const TOfficeHtmlCleanResult r = TOfficeHtmlUtil::CleanExportedHtml(Body(QString::fromUtf8(c.Exported)), facts);
        const TParsed parsed(r.Html);
        ASSERT_NE(parsed.Body, nullptr) << S(r.Html);
        // The exact text here: the lines an editor would show.
        QString inner = r.Html.section(QStringLiteral("<body>"), 1).section(QStringLiteral("</body>"), 0, 0).trimmed();
        inner.replace(QLatin1Char('\n'), QLatin1Char('|'));
        EXPECT_EQ(S(inner), c.Expected);
        EXPECT_TRUE(parsed.Body->Attributes().isEmpty()) << S(r.Html);
        const QSet<QString> attrs = parsed.AttributeNames();
        for (const char* gone : {"class", "lang", "name", "align", "hspace", "vspace", "border", "onclick", "onerror",
                                 "face", "size", "valign", "cellpadding", "target"})
            EXPECT_FALSE(attrs.contains(gone)) << gone;
    }
}

TEST(OfficeHtml, AltTextComesFromTheDocumentsDescriptionThenTitle)
{
    // The export writes only the title as alt; the flat document gives both.
    const QByteArray fodt =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
        "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
        "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
        "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
        "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\">"
        "<office:styles><style:default-style style:family=\"paragraph\"><style:text-properties fo:font-size=\"12pt\"/></style:default-style>"
        "<style:style style:name=\"Standard\" style:family=\"paragraph\"><style:text-properties fo:font-size=\"11pt\"/></style:style></office:styles>"
        "<office:body><office:text><text:p>"
        "<draw:frame draw:name=\"Leaf photo\"><draw:image/><svg:desc>A red leaf\n on white</svg:desc></draw:frame>"
        "<draw:frame draw:name=\"Same\"><draw:image/><svg:title>First same</svg:title></draw:frame>"
        "<draw:frame draw:name=\"Same\"><draw:image/><svg:title>Second title</svg:title><svg:desc>Second same</svg:desc></draw:frame>"
        "<draw:frame draw:name=\"Box\"><draw:text-box/></draw:frame>"
        "<draw:frame draw:name=\"Plain\"><draw:image/></draw:frame>"
        "</text:p></office:text></office:body></office:document>";
    const TOfficeDocFacts facts = TOfficeHtmlUtil::ReadFlatOdfFacts(fodt);
    ASSERT_EQ(facts.Pictures.size(), 4);
    EXPECT_DOUBLE_EQ(facts.DefaultFontSizePt, 11.0);
    EXPECT_TRUE(TOfficeHtmlUtil::ReadFlatOdfFacts("not xml <").Pictures.isEmpty());

    const TOfficeHtmlCleanResult r = TOfficeHtmlUtil::CleanExportedHtml(
        Body("<p><img src=\"x_html_1.png\" name=\"Leaf photo\"/><img src=\"x_html_2.png\" name=\"Same\" alt=\"First same\"/>"
             "<img src=\"x_html_3.png\" name=\"Same\" alt=\"Second title\"/><img src=\"x_html_4.png\" name=\"Plain\"/>"
             "<img src=\"x_html_5.png\" name=\"Unknown\" alt=\"Its own title\"/>"
             "<font style=\"font-size: 11pt\">default</font> <font style=\"font-size: 14pt\">chosen</font></p>"),
        facts);
    ASSERT_EQ(r.Pictures.size(), 5);
    EXPECT_EQ(S(r.Pictures[0].Alt), "A red leaf on white");
    EXPECT_EQ(S(r.Pictures[1].Alt), "First same");
    EXPECT_EQ(S(r.Pictures[2].Alt), "Second same");
    EXPECT_EQ(S(r.Pictures[3].Alt), "");
    EXPECT_EQ(S(r.Pictures[4].Alt), "Its own title");
    EXPECT_EQ(r.PicturesWithoutAlt, 1);
    const TParsed parsed(r.Html);
    const auto imgs = parsed.All("img");
    ASSERT_EQ(imgs.size(), 5u);
    for (size_t i = 0; i < imgs.size(); ++i) {
        EXPECT_TRUE(imgs[i]->HasAttribute("alt"));
        EXPECT_EQ(S(imgs[i]->Attribute("alt")), S(r.Pictures[int(i)].Alt));
    }
    EXPECT_EQ(parsed.Count("span"), 1);
    EXPECT_EQ(S(parsed.All("span")[0]->Attribute("style")), "font-size: 14pt");
}

TEST(OfficeHtml, PictureFileNamesAreSafeAndUnique)
{
    struct Case {
        const char* Name;
        const char* Suffix;
        const char* Expected;
    };
    QSet<QString> used{"taken.png"};
    const Case cases[] = {
        {"Leaf photo", "PNG", "Leaf-photo.png"},
        {"leaf PHOTO", "png", "leaf-PHOTO-2.png"},
        {"Ünïcödé café", "jpg", "Unicode-cafe.jpg"},
        {"../../etc/passwd", "png", "etc-passwd.png"},
        {"holiday.JPG", "jpg", "holiday.jpg"},
        {"Image1", "png", "picture-6.png"},
        {"Graphic 12", "gif", "picture-7.gif"},
        {"", "png", "picture-8.png"},
        {"写真", "png", "picture-9.png"},
        {"taken", "png", "taken-2.png"},
        {"...hidden", "png", "hidden.png"},
        {"a<b>&\"c'?#%", "svg", "a-b-c.svg"},
        {"Picture 1", "p/n\\g", "Picture-1.png"},
    };
    int index = 0;
    for (const Case& c : cases) {
        ++index;
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(S(TOfficeHtmlUtil::PictureFileName(QString::fromUtf8(c.Name), c.Suffix, index, used)), c.Expected);
    }
    const QString longName = TOfficeHtmlUtil::PictureFileName(QString(200, QLatin1Char('x')), "png", 1, used);
    EXPECT_LE(longName.size(), 64);
}

TEST(OfficeHtml, PreparedExportNamesItsPictureFilesAndRewritesThePage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto write = [&](const QString& name, const QByteArray& data) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
    };
    write("Exported_html_1.png", "one");
    write("Exported_html_2.png", "two");
    // The same export file shown three times is one picture on the site,
    // named by its first use. A src reaching out of the folder is left alone.
    write("Exported.html",
          Body("<p><img src=\"Exported_html_1.png\" name=\"Cat\"/><img src=\"Exported_html_1.png\" name=\"Cat\"/>"
               "<img src=\"Exported_html_1.png\" name=\"Dog\"/><img src=\"Exported_html_2.png\" name=\"Exported\"/>"
               "<img src=\"../outside.png\" name=\"Out\"/><img src=\"missing.png\" name=\"Gone\"/></p>")
              .toUtf8());
    const TOfficeHtmlCleanResult r =
        TOfficeHtmlUtil::PrepareExportedPage(dir.filePath("Exported.html"), dir.filePath("none.fodt"));
    ASSERT_EQ(r.Pictures.size(), 6);
    QStringList srcs;
    for (const TCleanedPicture& p : r.Pictures)
        srcs << p.Src;
    EXPECT_EQ(S(srcs.join("|")), "Cat.png|Cat.png|Cat.png|Exported.png|../outside.png|Gone.png");
    auto read = [&](const QString& name) {
        QFile f(dir.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    };
    EXPECT_EQ(read("Cat.png"), "one");
    EXPECT_EQ(read("Dog.png"), "<none>");
    EXPECT_EQ(read("Exported.png"), "two");
    EXPECT_EQ(read("Gone.png"), "<none>");
    const TParsed page(QString::fromUtf8(read("Exported.html")));
    QStringList written;
    for (THtmlNode* img : page.All("img"))
        written << img->Attribute("src");
    EXPECT_EQ(written, srcs);
    EXPECT_EQ(r.PicturesWithoutAlt, 6);

    EXPECT_THROW(TOfficeHtmlUtil::PrepareExportedPage(dir.filePath("nothing.html"), {}), EInOutError);
}
