#include "officewordautomation.h"
#include "officeclient.h"
#include "officeclipboard.h"
#include "officeerror.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>

std::unique_ptr<IWordDocument> TOfficeWordAutomation::NewDocument()
{
    return std::make_unique<TOfficeWordDocument>(m_client, m_client.NewDocument());
}

std::unique_ptr<IWordDocument> TOfficeWordAutomation::OpenDocument(const QString& fileName, bool readOnly)
{
    return std::make_unique<TOfficeWordDocument>(m_client, m_client.OpenDocument(fileName, readOnly));
}

TOfficeWordDocument::~TOfficeWordDocument()
{
    if (m_closed)
        return;
    try {
        Close();
    } catch (const EOfficeError&) {
        // A helper that is gone has closed the document already.
    }
}

void TOfficeWordDocument::CheckOpen() const
{
    if (m_closed)
        throw EOfficeError(QStringLiteral("The document is closed"));
}

QJsonObject TOfficeWordDocument::Args() const
{
    CheckOpen();
    return QJsonObject{{"doc", m_doc}};
}

void TOfficeWordDocument::SelectAll()
{
    m_client.Call(QStringLiteral("selectall"), Args());
}

void TOfficeWordDocument::Cut()
{
    QJsonObject args = Args();
    args["cut"] = true;
    const auto reply = m_client.Call(QStringLiteral("copy"), args);
    TOfficeClipboard::ToSystem(reply.header, reply.payload);
}

void TOfficeWordDocument::Copy()
{
    const auto reply = m_client.Call(QStringLiteral("copy"), Args());
    TOfficeClipboard::ToSystem(reply.header, reply.payload);
}

void TOfficeWordDocument::Paste()
{
    const TOfficeClipboard::TPasteData data = TOfficeClipboard::FromSystem();
    if (data.mime.isEmpty())
        throw EOfficeError(QStringLiteral("The clipboard holds nothing that can be pasted"));
    QJsonObject args = Args();
    args["mime"] = data.mime;
    m_client.Call(QStringLiteral("paste"), args, data.data);
}

void TOfficeWordDocument::InsertAfter(const QString& text)
{
    QJsonObject args = Args();
    args["text"] = text;
    m_client.Call(QStringLiteral("insertafter"), args);
}

int TOfficeWordDocument::ParagraphCount()
{
    return m_client.Call(QStringLiteral("paracount"), Args()).header.value("count").toInt();
}

void TOfficeWordDocument::DeleteParagraph(int index)
{
    QJsonObject args = Args();
    args["index"] = index;
    m_client.Call(QStringLiteral("deletepara"), args);
}

void TOfficeWordDocument::SaveAsFilteredHtml(const QString& fileName)
{
    SaveAs(fileName, QStringLiteral("html"));
}

void TOfficeWordDocument::SaveAs(const QString& fileName, const QString& format, const QString& options)
{
    QJsonObject args = Args();
    const QFileInfo info(fileName);
    if (!QDir().mkpath(info.absolutePath()))
        throw EOfficeError(QStringLiteral("Cannot create the folder %1").arg(info.absolutePath()));
    args["path"] = info.absoluteFilePath();
    args["format"] = format;
    args["options"] = options;
    m_client.Call(QStringLiteral("saveas"), args);
}

QString TOfficeWordDocument::Text()
{
    return m_client.Call(QStringLiteral("text"), Args()).header.value("text").toString();
}

QString TOfficeWordDocument::FileName() const
{
    return m_client.SourcePath(m_doc);
}

void TOfficeWordDocument::Close()
{
    if (m_closed)
        return;
    m_closed = true;
    m_client.CloseDocument(m_doc);
}

bool TOfficeWordDocument::Uno(const QString& command, const QByteArray& jsonArgs)
{
    QJsonObject args = Args();
    args["command"] = command;
    args["args"] = QString::fromUtf8(jsonArgs);
    args["wait"] = true;
    return m_client.Call(QStringLiteral("uno"), args).header.value("success").toBool();
}
