#include "utillib/placementstore.h"

#include "utillib/xmlobjectstorage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

void TXmlPlacementStore::SetFileName(const QString& fileName)
{
    FFileName = fileName;
    Reload();
}

void TXmlPlacementStore::Reload()
{
    FSections.clear();
    QFile file(FFileName);
    if (FFileName.isEmpty() || !file.open(QIODevice::ReadOnly))
        return;
    pugi::xml_document doc;
    try {
        ParseXmlDocument(doc, file.readAll());
    } catch (const std::exception&) {
        return; // a damaged file is treated like a missing one
    }
    for (pugi::xml_node section : doc.document_element().children()) {
        if (section.type() != pugi::node_element)
            continue;
        auto& values = FSections[QString::fromUtf8(section.name())];
        for (pugi::xml_node v : section.children())
            if (v.type() == pugi::node_element)
                values[QString::fromUtf8(v.name())] = QString::fromUtf8(v.text().get()).trimmed();
    }
}

bool TXmlPlacementStore::Flush() const
{
    if (FFileName.isEmpty())
        return false;
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("Configuration");
    for (auto s = FSections.cbegin(); s != FSections.cend(); ++s) {
        pugi::xml_node section = root.append_child(s.key().toUtf8().constData());
        for (auto v = s.value().cbegin(); v != s.value().cend(); ++v)
            section.append_child(v.key().toUtf8().constData()).append_child(pugi::node_pcdata).set_value(v.value().toUtf8().constData());
    }
    QDir().mkpath(QFileInfo(FFileName).absolutePath());
    QSaveFile file(FFileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(SerializeReadableXml(doc));
    return file.commit();
}

QString TXmlPlacementStore::ElementName(const QString& text)
{
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        QChar c = text.at(i);
        bool ok = (c.unicode() < 128 && c.isLetterOrNumber()) || c == QLatin1Char('_')
            || (i > 0 && (c == QLatin1Char('.') || c == QLatin1Char('-')));
        if (i == 0 && c.isDigit())
            ok = false;
        out += ok ? c : QLatin1Char('_');
    }
    return out.isEmpty() ? QStringLiteral("_") : out;
}

bool TXmlPlacementStore::HasValue(const QString& section, const QString& key) const
{
    auto s = FSections.constFind(ElementName(section));
    return s != FSections.cend() && s->contains(ElementName(key));
}

QString TXmlPlacementStore::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    auto s = FSections.constFind(ElementName(section));
    if (s == FSections.cend())
        return defaultValue;
    auto v = s->constFind(ElementName(key));
    return v == s->cend() ? defaultValue : *v;
}

void TXmlPlacementStore::WriteString(const QString& section, const QString& key, const QString& value)
{
    QString& stored = FSections[ElementName(section)][ElementName(key)];
    if (stored == value && !stored.isNull())
        return;
    stored = value;
    if (FOnChanged)
        FOnChanged();
}

int TXmlPlacementStore::ReadInteger(const QString& section, const QString& key, int defaultValue) const
{
    bool ok = false;
    int v = ReadString(section, key).toInt(&ok);
    return ok ? v : defaultValue;
}

void TXmlPlacementStore::WriteInteger(const QString& section, const QString& key, int value)
{
    WriteString(section, key, QString::number(value));
}

bool TXmlPlacementStore::ReadBoolean(const QString& section, const QString& key, bool defaultValue) const
{
    const QString v = ReadString(section, key).trimmed().toUpper();
    if (v == QLatin1String("TRUE") || v == QLatin1String("YES") || v == QLatin1String("Y"))
        return true;
    if (v == QLatin1String("FALSE") || v == QLatin1String("NO") || v == QLatin1String("N"))
        return false;
    return defaultValue;
}

void TXmlPlacementStore::WriteBoolean(const QString& section, const QString& key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("TRUE") : QStringLiteral("FALSE"));
}
