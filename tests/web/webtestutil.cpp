#include "webtestutil.h"

#include "testutil.h"

namespace webtest {

std::unique_ptr<TEmbeddedWB> NewBrowser()
{
    auto b = std::make_unique<TEmbeddedWB>();
    b->resize(800, 600);
    b->show();
    return b;
}

bool Load(TEmbeddedWB* browser, const QString& url, int timeoutMs)
{
    browser->Navigate(url);
    return testutil::waitUntil([&] { return browser->ReadyState() == TEmbeddedWB::rsComplete; }, timeoutMs);
}

bool LoadHtml(TEmbeddedWB* browser, const QString& html, int timeoutMs)
{
    return Load(browser, QStringLiteral("data:text/html;charset=utf-8,") + QString::fromLatin1(QUrl::toPercentEncoding(html)),
                timeoutMs);
}

} // namespace webtest
