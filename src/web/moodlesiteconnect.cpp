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

void TMoodleSiteConnect::LoginToMoodle(TEmbeddedWB* browser, TMoodleSysConfig* config)
{
    if (!browser)
        return;
    const QStringList fields = LoginFields(config);
    try {
        TEmbeddedWBUtil::BrowserPost(browser, config->LoginUrl(), &fields, nullptr);
    } catch (const std::exception&) {
        // The page the browser shows tells the user what happened.
    }
}
