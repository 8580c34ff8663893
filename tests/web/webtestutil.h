#pragma once

#include "web/embeddedwb.h"

#include <QString>
#include <memory>

namespace webtest {

// A shown browser control of a usable size (focus and layout need one).
std::unique_ptr<TEmbeddedWB> NewBrowser();
// Loads url and waits until the page is complete; false on time-out.
bool Load(TEmbeddedWB* browser, const QString& url, int timeoutMs = 20000);
// Loads an HTML text as the page (about:blank origin is not enough for
// frames, so it is served as a data: URL of the given base).
bool LoadHtml(TEmbeddedWB* browser, const QString& html, int timeoutMs = 20000);

} // namespace webtest
