#pragma once

#include "utillib/exceptions.h"

#include <QStringList>

// The login was not posted because the address it would go to is not the
// site's own; the message names that address.
class ELoginNotSent : public Exception { using Exception::Exception; };

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
    // user sees whatever page the browser shows. The account goes to the
    // preset's own origin only: when the login form posts anywhere else
    // (another scheme, host or port), nothing is posted and ELoginNotSent
    // is raised.
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
    // Same scheme, host and port (default ports filled in); false for
    // anything that is not an absolute http(s) address.
    static bool SameOrigin(const QString& a, const QString& b);
    // Addresses equal but for the root's empty path ("http://h" and "http://h/").
    static bool SameAddress(const QString& a, const QString& b);
};
