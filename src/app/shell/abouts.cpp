#include "app/shell/abouts.h"

#include "utillib/filepathutils.h"
#include "utillib/version.h"

namespace {

struct UpdateServer {
    QString PingHost = TVantoliAbout::MakerHost;
    QString Authority = TVantoliAbout::MakerHost;
};

UpdateServer& Server()
{
    static UpdateServer server;
    return server;
}

} // namespace

QString TVantoliAbout::AppWelcomeUrl()
{
    return QStringLiteral("http://%1/Services/visit/checkUpdate.php?res=VantoliUpdate&currVersion=%2")
        .arg(Server().Authority, AppVersion().ToString());
}

namespace {
QString LocalPageUrl(const QString& relativePath)
{
    // The Linux path brings its own leading "/": file:// + /opt/... = file:///opt/...
    QString path = TSysFilePathUtil::CurrAppFilePath();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return QStringLiteral("file://") + TUrlUtil::ReplaceSysPathDelimiterToUrl(path + relativePath);
}
} // namespace

QString TVantoliAbout::AppWelcomeUrlLocal()
{
    return LocalPageUrl(QStringLiteral("Welcome/index.html"));
}

QString TVantoliAbout::UpdateCheckHost()
{
    return Server().PingHost;
}

QString TVantoliAbout::UserGuideUrl()
{
    return LocalPageUrl(QStringLiteral("Guide/index.html"));
}

void TVantoliAbout::TestSeam::SetUpdateServer(const QString& pingHost, const QString& authority)
{
    Server().PingHost = pingHost;
    Server().Authority = authority;
}

void TVantoliAbout::TestSeam::Reset()
{
    Server() = UpdateServer();
}
