// The site's answer to a repository upload (text the site sends, whatever
// it is): it gives an address or raises the uploader's own error, never
// anything else, and an address is never empty. For answers of up to 16 KB
// the result is also compared with a plain reading that walks the members in
// their written order (too slow for long answers, which is why the reader
// does not work that way).
#include "fuzzcommon.h"

#include "app/uploaders/moodlerepouploaders.h"

#include <nlohmann/json.hpp>

namespace {

QString TextOf(const nlohmann::ordered_json& v)
{
    if (v.is_string())
        return QString::fromStdString(v.get<std::string>());
    if (v.is_null())
        return {};
    return QString::fromStdString(v.dump());
}

bool SameName(const std::string& key, const char* name)
{
    return QString::fromStdString(key).compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

// The url member gives the address, the error member its text (first of the
// two in written order); else the url of a newfile object; else nothing.
QString Reference(const QString& answer, QString& error, bool& isError)
{
    const nlohmann::ordered_json json = nlohmann::ordered_json::parse(answer.toUtf8().toStdString(), nullptr, false);
    if (json.is_discarded() || !json.is_object())
        return {};
    for (const auto& member : json.items()) {
        if (SameName(member.key(), "url")) {
            const QString url = TextOf(member.value());
            if (!url.isEmpty())
                return url;
            break;
        }
        if (SameName(member.key(), "error")) {
            error = TextOf(member.value());
            isError = true;
            return {};
        }
    }
    for (const auto& member : json.items()) {
        if (!SameName(member.key(), "newfile") || !member.value().is_object())
            continue;
        for (const auto& inner : member.value().items())
            if (SameName(inner.key(), "url")) {
                const QString url = TextOf(inner.value());
                if (!url.isEmpty())
                    return url;
            }
    }
    return {};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString answer = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    fuzzcommon::TBoundedMemory bounded;
    QString url, error;
    bool raised = false;
    try {
        url = TMoodleRepoUtil::ReadUploadAnswer(answer, QStringLiteral("url"), QStringLiteral("error"));
        fuzzcommon::Check(!url.isEmpty(), "an address read from an answer is never empty");
    } catch (const EFileUploaderException& e) {
        // the answer's own error, or "Response illegal": the upload failed cleanly
        raised = true;
        error = e.Message();
    }
    if (size <= 16 * 1024 && !answer.isEmpty() && answer.count(QLatin1Char('[')) + answer.count(QLatin1Char('{')) <= 64) {
        QString refError;
        bool refIsError = false;
        const QString refUrl = Reference(answer, refError, refIsError);
        if (!refUrl.isEmpty())
            fuzzcommon::Check(!raised && url == refUrl, "the address is the one of the written order");
        else if (refIsError)
            fuzzcommon::Check(raised && error == refError, "the error is the one of the written order");
        else
            fuzzcommon::Check(raised && error == QLatin1String("Response illegal, something must be wrong"),
                              "an answer without an address is illegal");
    }
    return 0;
}
