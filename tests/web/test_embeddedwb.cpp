#include "moodlesitefixture.h"
#include "testutil.h"
#include "webtestutil.h"

#include "web/embeddedwb.h"
#include "web/webbrowsers.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QWebEnginePage>
#include <csignal>
#include <sys/types.h>
#include <gtest/gtest.h>

namespace {

class EmbeddedWBTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Site = new TMoodleSite(); }
    static void TearDownTestSuite() { delete Site; Site = nullptr; }
    void SetUp() override { ASSERT_TRUE(Site->IsRunning()); }
    static TMoodleSite* Site;
};
TMoodleSite* EmbeddedWBTest::Site = nullptr;

TEST_F(EmbeddedWBTest, NavigateReportsStatesAndEventsInOrder)
{
    auto b = webtest::NewBrowser();
    QStringList events;
    QObject::connect(b.get(), &TEmbeddedWB::BeforeNavigate2, [&](const QUrl& u) { events << "before " + u.path(); });
    QObject::connect(b.get(), &TEmbeddedWB::NavigateComplete2, [&](const QUrl& u) { events << "navigated " + u.path(); });
    QObject::connect(b.get(), &TEmbeddedWB::DocumentComplete, [&](const QUrl& u) { events << "complete " + u.path(); });
    int lastProgress = 0;
    QObject::connect(b.get(), &TEmbeddedWB::ProgressChange, [&](int p, int max) { lastProgress = p; EXPECT_EQ(max, 100); });

    b->Navigate(Site->Url("/"));
    // The wait loops of the callers rely on this: loading is visible at once.
    EXPECT_LT(b->ReadyState(), TEmbeddedWB::rsInteractive);
    EXPECT_TRUE(b->Busy());
    ASSERT_TRUE(TEmbeddedWB::WaitForReadyState(b.get(), TEmbeddedWB::rsComplete, true));
    EXPECT_FALSE(b->Busy());
    EXPECT_EQ(b->LocationURL(), Site->Url("/"));
    EXPECT_EQ(lastProgress, 100);
    ASSERT_GE(events.size(), 3);
    EXPECT_EQ(events.first(), "before /");
    EXPECT_EQ(events.last(), "complete /");
    EXPECT_TRUE(events.contains("navigated /"));
    EXPECT_LT(events.indexOf("before /"), events.indexOf("navigated /"));
}

TEST_F(EmbeddedWBTest, AnAddressTheEngineCannotLoadEndsTheWait)
{
    auto b = webtest::NewBrowser();
    // A site preset without a root address posts its login to "/login/".
    for (const QString& url : {QString(), QStringLiteral("/login/"), QStringLiteral("http://[bad")}) {
        bool done = false;
        QTimer::singleShot(0, [&] { done = TEmbeddedWBUtil::OpenUrlAndWait(b.get(), url); });
        EXPECT_TRUE(testutil::waitUntil([&] { return done; }, 10000)) << url.toStdString();
        if (!done) {
            b->Stop(); // releases the wait, so the failure is reported
            testutil::waitUntil([&] { return done; }, 5000);
        }
    }
    // A refresh with nothing shown ends as well.
    TEmbeddedWB blank;
    bool refreshed = false;
    QTimer::singleShot(0, [&] { refreshed = TEmbeddedWBUtil::RefreshAndWait(&blank); });
    EXPECT_TRUE(testutil::waitUntil([&] { return refreshed; }, 10000));
    const QStringList none;
    bool posted = false;
    QTimer::singleShot(0, [&] { TEmbeddedWBUtil::BrowserPost(b.get(), "/login/", &none, nullptr); posted = true; });
    EXPECT_TRUE(testutil::waitUntil([&] { return posted; }, 10000));
    if (!posted) {
        b->Stop();
        testutil::waitUntil([&] { return posted; }, 5000);
    }
    EXPECT_EQ(b->ReadyState(), TEmbeddedWB::rsComplete);
}

TEST_F(EmbeddedWBTest, BackForwardAndReloadRaiseCommandStates)
{
    auto b = webtest::NewBrowser();
    QMap<int, bool> state;
    QObject::connect(b.get(), &TEmbeddedWB::CommandStateChange, [&](int c, bool e) { state[c] = e; });
    ASSERT_TRUE(TEmbeddedWBUtil::OpenUrlAndWait(b.get(), Site->Url("/")));
    EXPECT_TRUE(state.value(TEmbeddedWB::CSC_UPDATECOMMANDS));
    EXPECT_FALSE(state.value(TEmbeddedWB::CSC_NAVIGATEBACK));
    ASSERT_TRUE(TEmbeddedWBUtil::OpenUrlAndWait(b.get(), Site->Url("/login/index.php")));
    EXPECT_TRUE(state.value(TEmbeddedWB::CSC_NAVIGATEBACK));
    b->GoBack();
    ASSERT_TRUE(testutil::waitUntil([&] { return b->LocationURL() == Site->Url("/") && !b->Busy(); }));
    EXPECT_TRUE(testutil::waitUntil([&] { return state.value(TEmbeddedWB::CSC_NAVIGATEFORWARD); }));
    Site->ResetRequests();
    ASSERT_TRUE(TEmbeddedWBUtil::RefreshAndWait(b.get()));
    // Only the page itself counts: the engine may also ask for other
    // addresses (an icon) at any time.
    int pageLoads = 0;
    for (const TSiteRequest& r : Site->RequestsTo("/"))
        pageLoads += r.Path == "/" ? 1 : 0;
    EXPECT_EQ(pageLoads, 1);
}

TEST_F(EmbeddedWBTest, ScriptsRunInTheMainWorldAndKeepTheirGlobals)
{
    auto b = webtest::NewBrowser();
    ASSERT_TRUE(webtest::Load(b.get(), Site->Url("/")));
    b->ExecScript("var _x = 41; function _inc(v){ return v + 1; }");
    EXPECT_EQ(b->ScriptValue("_inc(_x)").toInt(), 42);
    // The page's own globals are visible.
    EXPECT_EQ(b->ScriptValue("M.cfg.wwwroot").toString(), Site->RootUrl());
    EXPECT_EQ(b->ScriptValue("M.cfg.sesskey").toString().size(), 10);
    const QVariantMap cfg = b->ScriptValue("M.cfg").toMap();
    EXPECT_EQ(cfg.value("wwwroot").toString(), Site->RootUrl());
    EXPECT_FALSE(b->ExecScript("var _y = 1;").isValid());
}

TEST_F(EmbeddedWBTest, ScriptErrorsCarryThePageErrorText)
{
    auto b = webtest::NewBrowser();
    ASSERT_TRUE(webtest::Load(b.get(), Site->Url("/")));
    struct Case { const char* script; bool value; const char* text; } cases[] = {
        {"noSuchFunction()", false, "ReferenceError: noSuchFunction is not defined"},
        {"M.editor_tinymce.filepicker_options", false, "TypeError: Cannot read properties of undefined"},
        {"throw 'plain text'", false, "plain text"},
        {"var = ;", false, "SyntaxError"},
        {"M.cfg.nothing", true, "'M.cfg.nothing' is undefined"},
    };
    for (const Case& c : cases) {
        try {
            if (c.value)
                b->ScriptValue(c.script);
            else
                b->ExecScript(c.script);
            ADD_FAILURE() << c.script << " raised nothing";
        } catch (const EBrowserScriptError& e) {
            EXPECT_TRUE(e.Message().contains(c.text)) << c.script << " -> " << e.Message().toStdString();
        }
    }
}

TEST_F(EmbeddedWBTest, AScriptWaitEndsWithATimeOutAndKeepsTheLoopRunning)
{
    auto b = webtest::NewBrowser();
    ASSERT_TRUE(webtest::Load(b.get(), Site->Url("/")));
    b->SetScriptTimeout(1500);
    bool timerRan = false;
    QTimer::singleShot(100, [&] { timerRan = true; });
    // A script whose click opens a new window in its own page never answers.
    EXPECT_THROW(b->ExecScript("document.getElementById('newwin').click(); 1"), EBrowserScriptError);
    EXPECT_TRUE(timerRan);
    ASSERT_TRUE(TEmbeddedWB::WaitForReadyState(b.get(), TEmbeddedWB::rsComplete, true));
}

TEST_F(EmbeddedWBTest, ARendererThatDiesEndsTheWaitAtOnce)
{
    auto b = webtest::NewBrowser();
    ASSERT_TRUE(webtest::LoadHtml(b.get(), "<p>doomed</p>"));
    const qint64 pid = b->page()->renderProcessPid();
    ASSERT_GT(pid, 0);
    b->SetScriptTimeout(30000);
    QTimer::singleShot(300, [pid] { ::kill(pid_t(pid), SIGKILL); });
    QElapsedTimer t;
    t.start();
    try {
        b->ExecScript("var t = Date.now(); while (Date.now() - t < 20000) {} 1");
        ADD_FAILURE() << "the script answered";
    } catch (const EBrowserScriptError& e) {
        EXPECT_TRUE(e.Message().contains("renderer")) << e.Message().toStdString();
    }
    EXPECT_LT(t.elapsed(), 15000);
    // The control comes back with the next page.
    ASSERT_TRUE(webtest::Load(b.get(), Site->Url("/")));
    EXPECT_EQ(b->ScriptValue("M.cfg.wwwroot").toString(), Site->RootUrl());
}

TEST_F(EmbeddedWBTest, NewWindowRequestsLoadInTheSameControl)
{
    auto b = webtest::NewBrowser();
    ASSERT_TRUE(webtest::Load(b.get(), Site->Url("/")));
    b->ExecScript("setTimeout(function () { document.getElementById('newwin').click(); }, 0);");
    EXPECT_TRUE(testutil::waitUntil([&] { return b->LocationURL().contains("/login/index.php") && !b->Busy(); }));
    b->ExecScript("setTimeout(function () { window.open('/index.php?opened', '_blank'); }, 0);");
    EXPECT_TRUE(testutil::waitUntil([&] { return b->LocationURL().endsWith("/index.php?opened") && !b->Busy(); }));
    // Switched off, the request opens nothing here.
    b->SetOpenNewWindowsInPlace(false);
    b->ExecScript("setTimeout(function () { window.open('/my/', '_blank'); }, 0);");
    testutil::waitUntil([] { return false; }, 500);
    EXPECT_TRUE(b->LocationURL().endsWith("/index.php?opened"));
}

TEST_F(EmbeddedWBTest, AllControlsShareOneSession)
{
    auto shown = webtest::NewBrowser();
    TEmbeddedWB hidden;
    hidden.resize(1, 1);
    Site->ResetRequests();
    ASSERT_TRUE(webtest::Load(shown.get(), Site->Url("/")));
    ASSERT_TRUE(webtest::Load(&hidden, Site->Url("/my/")));
    const auto front = Site->RequestsTo("/");
    const auto login = Site->RequestsTo("/login/");
    ASSERT_FALSE(front.isEmpty());
    ASSERT_FALSE(login.isEmpty());
    // The HttpOnly cookie set for the first control went out with the second.
    const QString cookie = login.first().Header("Cookie");
    EXPECT_TRUE(cookie.contains("MoodleSession=")) << cookie.toStdString();
    EXPECT_EQ(TEmbeddedWBUtil::OpenUrlAndWait(&hidden, Site->Url("/")), true);
    EXPECT_EQ(Site->Requests().last().Header("Cookie"), cookie);
}

TEST_F(EmbeddedWBTest, DomHandlesReadAndWriteThePage)
{
    auto b = webtest::NewBrowser();
    ASSERT_TRUE(webtest::LoadHtml(b.get(),
        "<html><head><title>T1</title></head><body><div id='outer' class='a b'><p id='p1'>Hello <b>you</b></p></div>"
        "<iframe id='f1' srcdoc='<body><p>inside</p><img src=x></body>'></iframe></body></html>"));
    const THtmlDocument doc = b->Document();
    ASSERT_TRUE(doc);
    EXPECT_EQ(doc.Title(), "T1");
    const THtmlElement p = doc.GetElementById("p1");
    ASSERT_TRUE(p);
    EXPECT_EQ(p.TagName(), "P");
    EXPECT_EQ(p.InnerText(), "Hello you");
    EXPECT_EQ(p.InnerHTML(), "Hello <b>you</b>");
    EXPECT_EQ(p.ParentElement().ClassName(), "a b");
    EXPECT_TRUE(p.ParentElement().SameObject(doc.GetElementById("outer")));
    EXPECT_FALSE(p.SameObject(p.ParentElement()));
    EXPECT_TRUE(p.Document().SameObject(doc));
    EXPECT_FALSE(doc.GetElementById("missing"));
    p.SetInnerHTML("<i>new</i>");
    EXPECT_EQ(p.OuterHTML(), "<p id=\"p1\"><i>new</i></p>");
    p.SetAttribute("href", "x.html");
    EXPECT_EQ(p.GetAttribute("href"), "x.html");
    EXPECT_EQ(p.GetAttribute("src"), "");
    p.SetStyleDisplay("none");
    EXPECT_EQ(p.StyleDisplay(), "none");
    const THtmlElement span = doc.CreateElement("span");
    span.SetInnerHTML("added");
    doc.Body().AppendChild(span);
    EXPECT_TRUE(doc.Body().InnerText().contains("added"));
    EXPECT_EQ(doc.GetElementsByTagNameLength("p"), 1);
    EXPECT_EQ(doc.DocumentElement().TagName(), "HTML");

    ASSERT_TRUE(testutil::waitUntil([&] { return doc.GetElementById("f1").ContentDocument().Body().InnerText() == "inside"; }));
    const THtmlDocument inner = doc.GetElementById("f1").ContentDocument();
    EXPECT_EQ(inner.GetElementsByTagNameLength("img"), 1);
    EXPECT_THROW(p.ContentDocument(), EBrowserScriptError);

    // A handle does not outlive its page.
    ASSERT_TRUE(webtest::Load(b.get(), Site->Url("/")));
    try {
        p.Id();
        ADD_FAILURE() << "a handle of the left page still answered";
    } catch (const EBrowserScriptError& e) {
        EXPECT_TRUE(e.Message().contains("no longer shown")) << e.Message().toStdString();
    }
    EXPECT_THROW(THtmlElement().Id(), EBrowserScriptError);
}

} // namespace
