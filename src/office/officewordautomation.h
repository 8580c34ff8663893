#pragma once

#include "wordautomation.h"

#include <QByteArray>
#include <QJsonObject>

class TOfficeClient;

// IWordAutomation over the LibreOffice helper. The client must outlive every
// document made here.
class TOfficeWordAutomation final : public IWordAutomation {
public:
    explicit TOfficeWordAutomation(TOfficeClient& client) : m_client(client) {}

    std::unique_ptr<IWordDocument> NewDocument() override;
    std::unique_ptr<IWordDocument> OpenDocument(const QString& fileName, bool readOnly = false) override;

private:
    TOfficeClient& m_client;
};

// One document of the helper; DocId() is what a view attaches to.
class TOfficeWordDocument final : public IWordDocument {
public:
    TOfficeWordDocument(TOfficeClient& client, int docId) : m_client(client), m_doc(docId) {}
    ~TOfficeWordDocument() override;
    TOfficeWordDocument(const TOfficeWordDocument&) = delete;
    TOfficeWordDocument& operator=(const TOfficeWordDocument&) = delete;

    int DocId() const { return m_doc; }
    TOfficeClient& Client() const { return m_client; }

    void SelectAll() override;
    void Cut() override;
    void Copy() override;
    void Paste() override;
    void InsertAfter(const QString& text) override;
    int ParagraphCount() override;
    void DeleteParagraph(int index) override;
    void SaveAsFilteredHtml(const QString& fileName) override;
    void SaveAs(const QString& fileName, const QString& format, const QString& options = {}) override;
    QString Text() override;
    QString FileName() const override;
    void Close() override;

    // A UNO command with LibreOffice's typed JSON arguments, waiting for its
    // result; answers whether LibreOffice reported success.
    bool Uno(const QString& command, const QByteArray& jsonArgs = {});

private:
    void CheckOpen() const;
    QJsonObject Args() const;

    TOfficeClient& m_client;
    int m_doc;
    bool m_closed = false;
};
