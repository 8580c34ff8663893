#include "moodlesitefixture.h"
#include "testutil.h"
#include "webtestutil.h"

#include "app/config/appconfigs.h"
#include "web/embeddedwb.h"
#include "web/moodlesiteconnect.h"

#include <QJsonObject>
#include <QTcpServer>
#include <gtest/gtest.h>

namespace {

const QByteArray B = "---------------------------123456789";

class MoodleLoginTest : public ::testing::Test {
protected:
    // A fresh site per test: a session logged in by one test must not make
    // the next one pass.
    void SetUp() override
    {
        Site = std::make_unique<TMoodleSite>();
        ASSERT_TRUE(Site->IsRunning());
        Config = Site->NewSiteConfig();
        Browser = webtest::NewBrowser();
    }

    QList<TSiteRequest> LoginPosts() const
    {
        QList<TSiteRequest> posts;
        for (const TSiteRequest& r : Site->RequestsTo("/login/"))
            if (r.Method == "POST")
                posts << r;
        return posts;
    }

    std::unique_ptr<TMoodleSite> Site;
    std::unique_ptr<TMoodleSysConfig> Config;
    std::unique_ptr<TEmbeddedWB> Browser;
};

TEST_F(MoodleLoginTest, TheLoginPostCarriesTheAccountAndTheSession)
{
    // A session cookie exists from an earlier page, as in a tab that was open.
    ASSERT_TRUE(webtest::Load(Browser.get(), Site->Url("/")));
    ASSERT_TRUE(webtest::Load(Browser.get(), Site->Url("/index.php")));
    const QString cookie = Site->RequestsTo("/index.php").last().Header("Cookie");
    TMoodleSiteConnect::LoginToMoodle(Browser.get(), Config.get());
    // It returns with the answer page loaded: the site's redirect target.
    EXPECT_EQ(Browser->ReadyState(), TEmbeddedWB::rsComplete);
    EXPECT_EQ(Browser->LocationURL(), Site->Url("/my/"));
    const auto posts = LoginPosts();
    ASSERT_EQ(posts.size(), 1);
    EXPECT_EQ(posts[0].Path, "/login/");
    EXPECT_EQ(posts[0].FieldNames(), (QStringList{"username", "password"}));
    EXPECT_EQ(posts[0].Field("username"), TMoodleSite::User);
    EXPECT_EQ(posts[0].Field("password"), TMoodleSite::Password);
    EXPECT_EQ(posts[0].Header("Content-Type"), "multipart/form-data; boundary=" + B);
    EXPECT_FALSE(cookie.isEmpty());
    EXPECT_EQ(posts[0].Header("Cookie"), cookie);
    EXPECT_TRUE(Browser->Document().Body().InnerText().contains(TMoodleSite::User));
}

TEST_F(MoodleLoginTest, EmptyAccountFieldsAreLeftOut)
{
    Config->SetAccountName("");
    TMoodleSiteConnect::LoginToMoodle(Browser.get(), Config.get());
    Config->SetAccountPassword("");
    TMoodleSiteConnect::LoginToMoodle(Browser.get(), Config.get());
    const auto posts = LoginPosts();
    ASSERT_EQ(posts.size(), 2);
    EXPECT_EQ(posts[0].FieldNames(), QStringList{"password"});
    EXPECT_EQ(posts[1].Body, "--" + B + "--\r\n");
    // Refused: the login page with the site's error stays shown.
    EXPECT_TRUE(Browser->LocationURL().endsWith("/login/"));
    EXPECT_TRUE(Browser->Document().Body().InnerText().contains("Invalid login"));
}

TEST_F(MoodleLoginTest, WithoutAutoLoginTheAccountIsNeverSent)
{
    Config->SetAutoLogin(false);
    TMoodleSiteConnect::ConnectToMoodle(Browser.get(), Config.get());
    ASSERT_TRUE(TEmbeddedWB::WaitForReadyState(Browser.get(), TEmbeddedWB::rsComplete, true));
    EXPECT_EQ(Browser->LocationURL(), Site->Url("/"));
    // The same preset again: the tab is already there, nothing is reloaded.
    TMoodleSiteConnect::ConnectToMoodle(Browser.get(), Config.get());
    testutil::waitUntil([] { return false; }, 300);
    QStringList seen;
    for (const TSiteRequest& r : Site->Requests())
        if (r.Path != "/favicon.ico")
            seen << r.Method + " " + r.Path;
    EXPECT_EQ(seen, QStringList{"GET /"});
    // Elsewhere in the site, connecting brings it back to the root.
    ASSERT_TRUE(webtest::Load(Browser.get(), Site->Url("/login/index.php")));
    TMoodleSiteConnect::ConnectToMoodle(Browser.get(), Config.get());
    ASSERT_TRUE(TEmbeddedWB::WaitForReadyState(Browser.get(), TEmbeddedWB::rsComplete, true));
    EXPECT_EQ(Browser->LocationURL(), Site->Url("/"));
    for (const TSiteRequest& r : Site->Requests())
        EXPECT_FALSE(r.Body.contains(TMoodleSite::Password.toUtf8()));
}

TEST_F(MoodleLoginTest, WithAutoLoginEachConnectPostsTheLoginAgain)
{
    Config->SetAutoLogin(true);
    TMoodleSiteConnect::ConnectToMoodle(Browser.get(), Config.get());
    EXPECT_EQ(Browser->LocationURL(), Site->Url("/my/"));
    TMoodleSiteConnect::ConnectToMoodle(Browser.get(), Config.get());
    EXPECT_EQ(LoginPosts().size(), 2);
    EXPECT_EQ(Browser->LocationURL(), Site->Url("/my/"));
}

TEST(MoodleTokenLogin, ATokenSiteGetsTheTokenOfItsLoginForm)
{
    TMoodleSite site({"--login", "token"});
    ASSERT_TRUE(site.IsRunning());
    auto b = webtest::NewBrowser();
    auto config = site.NewSiteConfig();
    TMoodleSiteConnect::LoginToMoodle(b.get(), config.get());
    EXPECT_EQ(b->LocationURL(), site.Url("/my/"));
    QList<TSiteRequest> posts;
    for (const TSiteRequest& r : site.Requests())
        if (r.Method == "POST")
            posts << r;
    ASSERT_EQ(posts.size(), 1);
    EXPECT_EQ(posts[0].FieldNames(), (QStringList{"username", "password", "logintoken"}));
    EXPECT_EQ(posts[0].Field("logintoken").size(), 32);

    // A wrong password on a token site is refused and shown, as on any site.
    config->SetAccountPassword(QStringLiteral("wrong"));
    TMoodleSiteConnect::LoginToMoodle(b.get(), config.get());
    EXPECT_TRUE(b->Document().Body().InnerText().contains("Invalid login"));
}

TEST_F(MoodleLoginTest, AnUnreachableSiteRaisesNothing)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const quint16 port = probe.serverPort();
    probe.close(); // nothing listens there now
    Config->SetRootUrl(QStringLiteral("http://127.0.0.1:%1").arg(port));
    EXPECT_NO_THROW(TMoodleSiteConnect::LoginToMoodle(Browser.get(), Config.get()));
    EXPECT_EQ(Browser->ReadyState(), TEmbeddedWB::rsComplete);
}

TEST(MoodleLoginOrigin, OnlyTheSameSchemeHostAndPortCount)
{
    struct Case { const char* a; const char* b; bool same; } cases[] = {
        {"http://127.0.0.1:8080", "http://127.0.0.1:8080/login/index.php", true},
        {"https://moodle.example.org", "https://MOODLE.example.org:443/login/", true},
        {"http://moodle.example.org", "http://moodle.example.org:80/x", true},
        {"moodle.example.org", "http://moodle.example.org/login/index.php", true},
        {"http://127.0.0.1:8080", "http://127.0.0.1:8081/login/index.php", false},
        {"https://moodle.example.org", "http://moodle.example.org/login/index.php", false},
        {"http://moodle.example.org", "https://moodle.example.org/login/index.php", false},
        {"http://moodle.example.org", "http://moodle.example.org.evil.test/login/", false},
        {"http://moodle.example.org", "http://moodle.example.org@evil.test/login/", false},
        {"http://127.0.0.1", "http://localhost/login/", false},
        {"http://moodle.example.org", "javascript:alert(1)", false},
        {"http://moodle.example.org", "file:///etc/passwd", false},
        {"http://moodle.example.org", "", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TMoodleSiteConnect::SameOrigin(c.a, c.b), c.same) << c.a << " / " << c.b;
}

TEST(MoodleTokenLogin, AFormPostingToAnotherPortGetsNothingAndTheUserIsTold)
{
    // The login page of the preset's site posts to another server on the same
    // host: a different port is a different origin, and it is the one that
    // would receive the password.
    TMoodleSite site({"--login", "token"});
    TMoodleSite other;
    ASSERT_TRUE(site.IsRunning());
    ASSERT_TRUE(other.IsRunning());
    auto b = webtest::NewBrowser();
    auto config = site.NewSiteConfig();
    const QString elsewhere = other.Url("/login/index.php");
    site.Configure(QJsonObject{{"login_action", elsewhere}});
    QString message;
    try {
        TMoodleSiteConnect::LoginToMoodle(b.get(), config.get());
    } catch (const ELoginNotSent& e) {
        message = e.Message();
    }
    EXPECT_TRUE(message.contains(elsewhere)) << message.toStdString();
    EXPECT_TRUE(message.contains(site.RootUrl())) << message.toStdString();
    for (const TSiteRequest& r : other.Requests())
        EXPECT_FALSE(r.Body.contains(TMoodleSite::Password.toUtf8())) << r.Method.toStdString() << " " << r.Path.toStdString();
    for (const TSiteRequest& r : site.Requests())
        EXPECT_NE(r.Method, "POST") << r.Path.toStdString();
    EXPECT_TRUE(other.Requests().isEmpty());

    // The same form posting to the site itself logs in as before.
    site.Configure(QJsonObject{{"login_action", site.Url("/login/index.php")}});
    EXPECT_NO_THROW(TMoodleSiteConnect::LoginToMoodle(b.get(), config.get()));
    EXPECT_EQ(b->LocationURL(), site.Url("/my/"));
}

} // namespace
