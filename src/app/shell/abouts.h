#pragma once

#include <QString>

// Addresses of the maker's web server and of the local welcome page.
class TVantoliAbout {
public:
    // The update-check page: the maker's server over plain HTTP, with the
    // program's version in the query (nothing after "=" when it is empty).
    static QString AppWelcomeUrl();
    // file:// address of "Welcome/index.html" beside the program.
    static QString AppWelcomeUrlLocal();
    // The host the connection check pings.
    static QString UpdateCheckHost();
    // file:// address of the user guide "Guide/index.html", shipped beside
    // the program like the welcome page.
    static QString UserGuideUrl();

    // The maker's server is a constant of the program. Tests point the
    // update check at a local server through this seam; it is not an option.
    struct TestSeam {
        static void SetUpdateServer(const QString& pingHost, const QString& authority);
        static void Reset();
    };

    static inline const QString MakerHost = QStringLiteral("www.vantoli.example.org");
};
