// What a page's script answers for an editor's file picker (any JSON: the
// values are the page's, so are their types) turned into the fields of a
// repository upload. Either the fields come out, or the uploader's own error
// or a conversion error is raised; the fields are the fixed ones, in their
// order, never empty, and the numbers are numbers.
#include "fuzzcommon.h"

#include "app/uploaders/moodlerepouploaders.h"

#include <QJsonDocument>
#include <QJsonParseError>

namespace {

using fuzzcommon::Check;

void CheckParams(const QStringList& params)
{
    static const QStringList order = {QStringLiteral("sesskey"), QStringLiteral("repo_id"), QStringLiteral("env"),
                                      QStringLiteral("client_id"), QStringLiteral("itemid"), QStringLiteral("maxbytes"),
                                      QStringLiteral("ctx_id"), QStringLiteral("savepath"), QStringLiteral("license"),
                                      QStringLiteral("accepted_types[]")};
    qsizetype at = 0;
    for (const QString& line : params) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        Check(eq > 0 && eq + 1 < line.size(), "every field is name=value with a value");
        const QString name = line.left(eq);
        const qsizetype pos = order.indexOf(name, at);
        Check(pos >= 0, "fields are the fixed ones, in their order, each once");
        at = pos + 1;
        if (name == QLatin1String("repo_id") || name == QLatin1String("itemid") || name == QLatin1String("maxbytes")) {
            bool ok = false;
            line.mid(eq + 1).toLongLong(&ok);
            Check(ok, "numeric fields are decimal integers");
        }
    }
    for (const char* needed : {"repo_id", "itemid", "maxbytes", "savepath", "license"})
        Check(!TMoodleRepoUtil::ParamValue(params, QString::fromLatin1(needed)).isEmpty(), "the fixed fields are there");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzcommon::TBoundedMemory bounded;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(fuzzcommon::Bytes(data, size), &error);
    if (error.error != QJsonParseError::NoError)
        return 0; // the engine hands over values, never text that is not one
    const QVariantMap answer = doc.toVariant().toMap();
    try {
        // The modern editors: one object with every value.
        CheckParams(TMoodleRepoUtil::BuildUploadParams(
            TMoodleRepoUtil::ReadPickerValues(answer, QStringLiteral("TinyMCE editor id_summary"))));
    } catch (const EFileUploaderException&) {
    } catch (const EConvertError&) {
    }
    try {
        // The legacy editor: each value read on its own, whatever it is.
        TMoodleRepoPageValues v;
        const QVariantList values = doc.isArray() ? doc.toVariant().toList() : answer.values();
        QVariant* fields[] = {&v.SessKey, &v.RepoId, &v.Env, &v.ClientId, &v.ItemId, &v.MaxBytes, &v.ContextId};
        for (qsizetype i = 0; i < values.size() && i < qsizetype(std::size(fields)); ++i)
            *fields[i] = values.at(i);
        CheckParams(TMoodleRepoUtil::BuildUploadParams(v));
    } catch (const EConvertError&) {
    }
    return 0;
}
