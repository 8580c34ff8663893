#pragma once

#include <QStringList>

class TEmbeddedWB;
class TMoodleSysConfig;

// Opening a site preset in its tab's browser control: the main window makes
// or finds the tab and hands its browser over.
class TMoodleSiteConnect {
public:
    // With automatic login, LoginToMoodle; otherwise the browser goes to the
    // site's root address unless it shows it already (it does not wait).
    static void ConnectToMoodle(TEmbeddedWB* browser, TMoodleSysConfig* config);
    // Loads the login page; posts the stored account ("username", then
    // "password"; empty values are left out), plus "logintoken" when the
    // page's form carries one, through the browser and waits for the
    // answer page, which stays shown. Errors of the post are dropped: the
    // user sees whatever page the browser shows.
    static void LoginToMoodle(TEmbeddedWB* browser, TMoodleSysConfig* config);
    // The login form's token and address, read from the login page after
    // loading it in the browser; both empty when the form carries no token.
    struct TLoginForm {
        QString Token;
        QString Action;
    };
    static TLoginForm ReadLoginForm(TEmbeddedWB* browser, const QString& loginUrl);
    // The fields LoginToMoodle posts (without the token).
    static QStringList LoginFields(const TMoodleSysConfig* config);
    // Addresses equal but for the root's empty path ("http://h" and "http://h/").
    static bool SameAddress(const QString& a, const QString& b);
};
