#include "app/uploaders/moodlerepouploaders.h"

#include "utillib/globalutils.h"

#include <QFileInfo>
#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <vector>

namespace {

const char* const IllegalResponse = "Response illegal, something must be wrong";

QString TextOf(const nlohmann::json& v)
{
    if (v.is_string())
        return QString::fromStdString(v.get<std::string>());
    if (v.is_null())
        return {};
    return QString::fromStdString(v.dump());
}

bool SameName(const std::string& key, const QString& name)
{
    return QString::fromStdString(key).compare(name, Qt::CaseInsensitive) == 0;
}

// The site's answers nest two or three levels deep. Far deeper text is no
// answer of the site's, and the JSON library writes nested values back out
// recursively: a value nested a hundred thousand times over would overflow the
// stack when an answer's member is turned into text.
constexpr int kMaxAnswerDepth = 64;

bool NestingWithin(const std::string& text, int limit)
{
    int depth = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > limit)
                return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

QString NameOf(const QString& line)
{
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    return eq < 0 ? line : line.left(eq);
}

} // namespace

QString TMoodleRepoUtil::ExtractEditorId(const QString& frameId)
{
    // A TinyMCE frame ends in "_ifr", an Atto editable div in "editable".
    for (const QLatin1String suffix : {QLatin1String("_ifr"), QLatin1String("editable")})
        if (frameId.endsWith(suffix))
            return frameId.chopped(suffix.size());
    throw EFileUploaderException(QStringLiteral("Target editor id not found"));
}

qint64 TMoodleRepoUtil::ReadInt64(const QVariant& value)
{
    bool ok = false;
    qint64 n = 0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        n = value.toLongLong(&ok);
        break;
    case QMetaType::Double: {
        const double d = value.toDouble();
        // Rounded only when in range: a page's 1e300 or NaN has no integer.
        ok = d >= -9.2e18 && d <= 9.2e18;
        if (ok)
            n = qRound64(d);
        break;
    }
    default:
        n = value.toString().trimmed().toLongLong(&ok, 10);
        break;
    }
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(value.toString()));
    return n;
}

QStringList TMoodleRepoUtil::BuildUploadParams(const TMoodleRepoPageValues& v)
{
    QStringList list;
    SetParamValue(list, QStringLiteral("sesskey"), v.SessKey.toString());
    SetParamValue(list, QStringLiteral("author"), QString());
    SetParamValue(list, QStringLiteral("repo_id"), QString::number(ReadInt64(v.RepoId)));
    SetParamValue(list, QStringLiteral("env"), v.Env.toString());
    SetParamValue(list, QStringLiteral("client_id"), v.ClientId.toString());
    SetParamValue(list, QStringLiteral("itemid"), QString::number(ReadInt64(v.ItemId)));
    SetParamValue(list, QStringLiteral("maxbytes"), QString::number(ReadInt64(v.MaxBytes)));
    SetParamValue(list, QStringLiteral("ctx_id"), v.ContextId.toString());
    SetParamValue(list, QStringLiteral("savepath"), QStringLiteral("/"));
    SetParamValue(list, QStringLiteral("p"), QString());
    SetParamValue(list, QStringLiteral("page"), QString());
    SetParamValue(list, QStringLiteral("title"), QString());
    SetParamValue(list, QStringLiteral("license"), QStringLiteral("allrightsreserved"));
    SetParamValue(list, QStringLiteral("accepted_types[]"), QStringLiteral("*"));
    return list;
}

TMoodleRepoPageValues TMoodleRepoUtil::ReadPickerValues(const QVariantMap& answer, const QString& editor)
{
    const QStringList missing = answer.value(QStringLiteral("missing")).toStringList();
    if (!missing.isEmpty())
        throw EFileUploaderException(QStringLiteral("The page does not give the %1 of the %2; nothing was uploaded")
                                         .arg(missing.join(QStringLiteral(", ")), editor));
    TMoodleRepoPageValues v;
    v.SessKey = answer.value(QStringLiteral("sesskey"));
    v.RepoId = answer.value(QStringLiteral("repo_id"));
    v.Env = answer.value(QStringLiteral("env"));
    v.ClientId = answer.value(QStringLiteral("client_id"));
    v.ItemId = answer.value(QStringLiteral("itemid"));
    v.MaxBytes = answer.value(QStringLiteral("maxbytes"));
    v.ContextId = answer.value(QStringLiteral("ctx_id"));
    return v;
}

QString TMoodleRepoUtil::ParamValue(const QStringList& list, const QString& name)
{
    for (const QString& line : list)
        if (NameOf(line) == name)
            return line.mid(name.size() + 1);
    return {};
}

void TMoodleRepoUtil::SetParamValue(QStringList& list, const QString& name, const QString& value)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (NameOf(list.at(i)) != name)
            continue;
        if (value.isEmpty())
            list.removeAt(i);
        else
            list[i] = name + QLatin1Char('=') + value;
        return;
    }
    if (!value.isEmpty())
        list.append(name + QLatin1Char('=') + value);
}

QString TMoodleRepoUtil::ReadUploadAnswer(const QString& answer, const QString& urlMember, const QString& errorMember)
{
    if (answer.isEmpty())
        throw EFileUploaderException(QStringLiteral("Response is empty, upload may be failed"));
    const std::string text = answer.toUtf8().toStdString();
    if (!NestingWithin(text, kMaxAnswerDepth))
        throw EFileUploaderException(QString::fromLatin1(IllegalResponse));
    // The document keeps its members sorted by name, so that an answer of a
    // hundred thousand members reads in well under a second (a document that
    // keeps the written order looks every new member up one by one). The
    // written order of the members that count is recorded while parsing:
    // the top-level url, error and newfile members, in the order they first
    // appear, and the url members of each newfile object (of its last
    // occurrence, whose value is the one kept).
    std::vector<std::string> topMembers;
    std::map<std::string, std::vector<std::string>> newFileUrls;
    std::string currentTop;
    auto record = [&](int depth, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
        if (event != nlohmann::json::parse_event_t::key)
            return true;
        const std::string& key = parsed.get_ref<const std::string&>();
        if (depth == 1) {
            currentTop = key;
            const bool isNewFile = SameName(key, QStringLiteral("newfile"));
            if ((isNewFile || SameName(key, urlMember) || SameName(key, errorMember))
                && std::find(topMembers.begin(), topMembers.end(), key) == topMembers.end())
                topMembers.push_back(key);
            if (isNewFile)
                newFileUrls[key].clear();
        } else if (depth == 2 && SameName(currentTop, QStringLiteral("newfile")) && SameName(key, urlMember)) {
            std::vector<std::string>& urls = newFileUrls[currentTop];
            if (std::find(urls.begin(), urls.end(), key) == urls.end())
                urls.push_back(key);
        }
        return true;
    };
    const nlohmann::json json = nlohmann::json::parse(text, record, false);
    // Not JSON, or JSON that is not an object: no address can come of it.
    if (json.is_discarded() || !json.is_object())
        throw EFileUploaderException(QString::fromLatin1(IllegalResponse));
    for (const std::string& key : topMembers) {
        if (SameName(key, urlMember)) {
            const QString url = TextOf(json.at(key));
            if (!url.isEmpty())
                return url;
            break;
        }
        if (SameName(key, errorMember))
            throw EFileUploaderException(TextOf(json.at(key)));
    }
    // A name already taken: the site stored the file under a free name and
    // tells its address with the new file.
    for (const std::string& key : topMembers) {
        const auto member = json.find(key);
        if (!SameName(key, QStringLiteral("newfile")) || member == json.end() || !member->is_object())
            continue;
        for (const std::string& inner : newFileUrls[key]) {
            const auto value = member->find(inner);
            if (value == member->end())
                continue;
            const QString url = TextOf(*value);
            if (!url.isEmpty())
                return url;
        }
    }
    throw EFileUploaderException(QString::fromLatin1(IllegalResponse));
}

void TMoodleRepoFileUploaderConfig::SetDefaultValues()
{
    TFileUploaderConfig::SetDefaultValues();
    FAutoDestFileName = true;
    FUploadFileFieldName = QStringLiteral("repo_upload_file");
    FNewFileNameFieldName = QStringLiteral("title");
    FResponseUrlFieldName = QStringLiteral("url");
    FResponseErrorFieldName = QStringLiteral("error");
}

TMoodleRepoFileUploader::TMoodleRepoFileUploader() : TFileUploader(GetConfigClass()) {}

TMoodleRepoFileUploader::~TMoodleRepoFileUploader() = default;

QString TMoodleRepoFileUploader::NewFilePrefix()
{
    return TimeStampName(QStringLiteral("F"));
}

QString TMoodleRepoFileUploader::MakeDestFileName(const QString& prefix, const QString& srcFile) const
{
    const QString name = QFileInfo(srcFile).fileName();
    return MoodleRepoConfig()->AutoDestFileName() ? prefix + QLatin1Char('_') + name : name;
}

void TMoodleRepoFileUploader::FillUploadParamValues(QStringList& params)
{
    params.clear();
    const QString editorId = TMoodleRepoUtil::ExtractEditorId(FTargetEditorId);
    if (!FUploadSite)
        throw EFileUploaderException(QStringLiteral("No target page to upload through"));
    params = TMoodleRepoUtil::BuildUploadParams(FUploadSite->ReadUploadPageValues(editorId, FRepoItem));
}

QString TMoodleRepoFileUploader::UploadFile(QStringList& params, const QString& srcFile, const QString& destFileName)
{
    const TMoodleRepoFileUploaderConfig* cfg = MoodleRepoConfig();
    TMoodleRepoUtil::SetParamValue(params, cfg->NewFileNameFieldName(), destFileName);
    const QStringList files{cfg->UploadFileFieldName() + QLatin1Char('=') + srcFile};
    FPosting = true;
    QString answer;
    try {
        answer = FUploadSite->PostUpload(FMoodleRepoPostUrl, params, files);
    } catch (...) {
        FPosting = false;
        throw;
    }
    FPosting = false;
    return TMoodleRepoUtil::ReadUploadAnswer(answer, cfg->ResponseUrlFieldName(), cfg->ResponseErrorFieldName());
}

void TMoodleRepoFileUploader::Upload(const QStringList& files, TSingleFileUploaderCallback singleFileCallback,
                                     TFileUploaderSummaryCallback summaryCallback,
                                     TFileUploaderOnErrorCallback errorCallback)
{
    FAborted = false;
    try {
        const QString prefix = NewFilePrefix();
        QStringList params;
        FillUploadParamValues(params);
        int successCount = 0;
        for (const QString& srcFile : files) {
            if (FAborted)
                break;
            const QString destFileName = MakeDestFileName(prefix, srcFile);
            bool continueNext = true;
            bool uploaded = false;
            QString url;
            try {
                url = UploadFile(params, srcFile, destFileName);
                uploaded = true;
            } catch (const Exception& e) {
                if (!singleFileCallback)
                    throw;
                singleFileCallback(false, srcFile, QString(), &e, continueNext);
            }
            if (uploaded) {
                ++successCount;
                if (singleFileCallback)
                    singleFileCallback(true, srcFile, url, nullptr, continueNext);
            }
            if (!continueNext)
                break;
        }
        if (summaryCallback)
            summaryCallback(static_cast<int>(files.size()), successCount);
    } catch (const Exception& e) {
        if (!errorCallback)
            throw;
        errorCallback(e);
    }
}

void TMoodleRepoFileUploader::Abort()
{
    FAborted = true;
    if (FPosting && FUploadSite)
        FUploadSite->AbortPost();
}
