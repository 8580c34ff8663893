#include "web/moodlesiteconnect.h"

#include "app/config/appconfigs.h"
#include "web/embeddedwb.h"
#include "web/webbrowsers.h"

#include <QUrl>

QStringList TMoodleSiteConnect::LoginFields(const TMoodleSysConfig* config)
{
    QStringList fields;
    if (!config->AccountName().isEmpty())
        fields << QStringLiteral("username=") + config->AccountName();
    if (!config->AccountPassword().isEmpty())
        fields << QStringLiteral("password=") + config->AccountPassword();
    return fields;
}

bool TMoodleSiteConnect::SameOrigin(const QString& a, const QString& b)
{
    // As the browser reads a typed address: a preset's root may lack "http://".
    const QUrl ua = QUrl::fromUserInput(a), ub = QUrl::fromUserInput(b);
    auto web = [](const QUrl& u) {
        return u.isValid() && !u.host().isEmpty()
            && (u.scheme() == QLatin1String("http") || u.scheme() == QLatin1String("https"));
    };
    if (!web(ua) || !web(ub))
        return false;
    auto port = [](const QUrl& u) { return u.port(u.scheme() == QLatin1String("https") ? 443 : 80); };
    // QUrl keeps schemes and host names in lower case.
    return ua.scheme() == ub.scheme() && ua.host() == ub.host() && port(ua) == port(ub);
}

bool TMoodleSiteConnect::SameAddress(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    auto rooted = [](const QString& s) {
        QUrl u(s);
        if (u.isValid() && !u.host().isEmpty() && u.path().isEmpty())
            u.setPath(QStringLiteral("/"));
        return u;
    };
    return !a.isEmpty() && !b.isEmpty() && rooted(a) == rooted(b);
}

void TMoodleSiteConnect::ConnectToMoodle(TEmbeddedWB* browser, TMoodleSysConfig* config)
{
    if (config->AutoLogin()) {
        LoginToMoodle(browser, config);
        return;
    }
    if (browser && !SameAddress(browser->LocationURL(), config->RootUrl()))
        browser->Navigate(config->RootUrl());
}

TMoodleSiteConnect::TLoginForm TMoodleSiteConnect::ReadLoginForm(TEmbeddedWB* browser, const QString& loginUrl)
{
    TLoginForm form;
    if (!TEmbeddedWBUtil::OpenUrlAndWait(browser, loginUrl))
        return form;
    const QVariantMap found = browser->ExecScript(QStringLiteral(
        "(function () {"
        "  var t = document.querySelector('form input[name=\"logintoken\"]');"
        "  if (!t) return {token: '', action: ''};"
        "  return {token: t.value || '', action: (t.form && t.form.action) ? t.form.action : ''};"
        "})()")).toMap();
    form.Token = found.value(QStringLiteral("token")).toString();
    form.Action = found.value(QStringLiteral("action")).toString();
    return form;
}

void TMoodleSiteConnect::LoginToMoodle(TEmbeddedWB* browser, TMoodleSysConfig* config)
{
    if (!browser)
        return;
    QStringList fields = LoginFields(config);
    QString postUrl = config->LoginUrl();
    try {
        // Sites of Moodle 3 and later refuse a login without the token their
        // login form carries (tied to the session): the login page is loaded
        // first, and when its form has a token, the post carries it to the
        // form's own address. Older sites take the two fields alone.
        const TLoginForm form = ReadLoginForm(browser, config->LoginUrl());
        if (!form.Token.isEmpty()) {
            fields << QStringLiteral("logintoken=") + form.Token;
            if (!form.Action.isEmpty())
                postUrl = form.Action;
        }
    } catch (const std::exception&) {
        // No readable login page: the two-field post below still tells the
        // user, through the page it shows, what happened.
    }
    // The password belongs to the preset's site: a login page whose form
    // posts elsewhere (a page someone changed, a redirect to another server,
    // https falling back to http) does not get it.
    if (!SameOrigin(postUrl, config->RootUrl()))
        throw ELoginNotSent(QStringLiteral("Your account was not sent: the login form of %1 would send it to %2, "
                                           "which is not the site's own address.")
                                .arg(config->RootUrl(), postUrl));
    try {
        TEmbeddedWBUtil::BrowserPost(browser, postUrl, &fields, nullptr);
    } catch (const std::exception&) {
        // The page the browser shows tells the user what happened.
    }
}
