#include "utillib/xmlobjectstorage.h"

#include "utillib/exceptions.h"
#include "utillib/objutils.h"
#include "utillib/persistent.h"

#include <QMetaEnum>
#include <climits>
#include <cstring>
#include <strings.h>

namespace {

const char* const kInvalidPropertyValue = "Invalid property value";

void SetText(pugi::xml_node node, const QString& text)
{
    node.append_child(pugi::node_pcdata).set_value(text.toUtf8().constData());
}

// The element's own text: the text before its first child element, trimmed.
QString ElementText(pugi::xml_node node)
{
    // Nearly every element holds one text node: convert it without a copy.
    pugi::xml_node first = node.first_child();
    if (first && (first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata)) {
        pugi::xml_node next = first.next_sibling();
        if (!next || next.type() == pugi::node_element)
            return QString::fromUtf8(first.value()).trimmed();
    }
    QByteArray text;
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element)
            break;
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata)
            text += c.value();
    }
    return QString::fromUtf8(text).trimmed();
}

pugi::xml_node FindChildElement(pugi::xml_node node, const char* name)
{
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element && strcasecmp(c.name(), name) == 0)
            return c;
    return {};
}

bool HasChildElement(pugi::xml_node node)
{
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element)
            return true;
    return false;
}

QString EnumName(const QMetaEnum& e, int value)
{
    const char* key = e.valueToKey(value);
    return key ? QString::fromLatin1(key) : QString::number(value);
}

QString SetText(const QMetaEnum& e, int value)
{
    QStringList names;
    for (int i = 0; i < e.keyCount(); ++i) {
        int bit = e.value(i);
        if (bit != 0 && (value & bit) == bit)
            names << QString::fromLatin1(e.key(i));
    }
    return QLatin1Char('[') + names.join(QLatin1Char(',')) + QLatin1Char(']');
}

int EnumValue(const QMetaEnum& e, const QString& text)
{
    for (int i = 0; i < e.keyCount(); ++i)
        if (text.compare(QLatin1String(e.key(i)), Qt::CaseInsensitive) == 0)
            return e.value(i);
    throw EPropertyError(QString::fromLatin1(kInvalidPropertyValue));
}

bool ConsideredForStorage(const TPropInfo& p)
{
    return p.Visibility == TPropVisibility::mvPublished && p.Prop.isStored() && p.Readable() && p.Writable();
}

} // namespace

// ---------------------------------------------------------------- writer

void TsdXmlObjectWriter::WriteObject(pugi::xml_node node, QObject* object)
{
    if (!node || !object)
        return;
    for (const TPropInfo& p : TPropTable::StorageOrder(object->metaObject())) {
        if (!ConsideredForStorage(p))
            continue;
        const QByteArray& name = p.Latin1Name;
        switch (p.Kind) {
        case TPropKind::pkString: {
            QString v = p.Prop.read(object).toString();
            if (!v.isEmpty())
                SetText(node.append_child(name.constData()), v);
            break;
        }
        case TPropKind::pkInteger: {
            int v = p.Prop.read(object).toInt();
            if (v != INT_MIN)
                SetText(node.append_child(name.constData()), QString::number(v));
            break;
        }
        case TPropKind::pkBoolean:
            SetText(node.append_child(name.constData()),
                    p.Prop.read(object).toBool() ? QStringLiteral("True") : QStringLiteral("False"));
            break;
        case TPropKind::pkEnumeration:
            SetText(node.append_child(name.constData()), EnumName(p.Prop.enumerator(), p.Prop.read(object).toInt()));
            break;
        case TPropKind::pkSet:
            SetText(node.append_child(name.constData()), SetText(p.Prop.enumerator(), p.Prop.read(object).toInt()));
            break;
        case TPropKind::pkObject: {
            QObject* sub = p.Prop.read(object).value<QObject*>();
            if (!sub)
                break;
            pugi::xml_node child = node.append_child(name.constData());
            SetText(child, QLatin1Char('(') + TPersistent::ClassNameOf(sub->metaObject()) + QLatin1Char(')'));
            if (auto* coll = qobject_cast<TCollection*>(sub)) {
                for (int i = 0; i < coll->Count(); ++i) {
                    TCollectionItem* item = coll->Items(i);
                    WriteObject(child.append_child(item->ClassName().toLatin1().constData()), item);
                }
            } else {
                WriteObject(child, sub);
            }
            if (!HasChildElement(child))
                node.remove_child(child);
            break;
        }
        case TPropKind::pkOther:
            // No persisted class declares other kinds; they are not stored.
            break;
        }
    }
}

// ---------------------------------------------------------------- reader

void TsdXmlObjectReader::ReadObject(pugi::xml_node node, QObject* object)
{
    if (!node || !object)
        return;
    for (const TPropInfo& p : TPropTable::StorageOrder(object->metaObject())) {
        if (!ConsideredForStorage(p))
            continue;
        pugi::xml_node el = FindChildElement(node, p.Latin1Name.constData());
        if (!el) {
            if (!FIgnoreUnfoundPropties) {
                if (p.Kind == TPropKind::pkString)
                    p.Prop.write(object, QString());
                else if (p.Kind != TPropKind::pkObject && p.Kind != TPropKind::pkOther)
                    p.Prop.write(object, QVariant(0));
            }
            continue;
        }
        const QString text = ElementText(el);
        switch (p.Kind) {
        case TPropKind::pkString:
            p.Prop.write(object, text);
            break;
        case TPropKind::pkInteger: {
            bool ok = false;
            int v = text.toInt(&ok, 10);
            if (!ok)
                throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
            p.Prop.write(object, v);
            break;
        }
        case TPropKind::pkBoolean: {
            if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
                p.Prop.write(object, true);
            else if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
                p.Prop.write(object, false);
            else
                throw EPropertyError(QString::fromLatin1(kInvalidPropertyValue));
            break;
        }
        case TPropKind::pkEnumeration:
            p.Prop.write(object, QVariant(EnumValue(p.Prop.enumerator(), text)));
            break;
        case TPropKind::pkSet: {
            int value = 0;
            const QStringList pieces = text.mid(1, text.size() - 2).split(QLatin1Char(','));
            for (const QString& piece : pieces)
                if (!piece.isEmpty())
                    value |= EnumValue(p.Prop.enumerator(), piece);
            p.Prop.write(object, QVariant(value));
            break;
        }
        case TPropKind::pkObject: {
            if (text.isEmpty() || !text.startsWith(QLatin1Char('(')))
                break; // no marker, or a component reference: nothing to read
            const QString className = text.mid(1, text.size() - 2);
            QObject* sub = p.Prop.read(object).value<QObject*>();
            if (!sub || TPersistent::ClassNameOf(sub->metaObject()) != className)
                throw EConvertError(QStringLiteral("Unregistered classtype encountered in "));
            if (auto* coll = qobject_cast<TCollection*>(sub)) {
                coll->BeginUpdate();
                try {
                    coll->Clear();
                    // Every child node counts, comments and stray texts after
                    // the marker included; blank texts are not nodes here.
                    bool markerPassed = false;
                    for (pugi::xml_node c = el.first_child(); c; c = c.next_sibling()) {
                        const bool isText = c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata;
                        if (c.type() != pugi::node_pcdata && c.type() != pugi::node_cdata)
                            markerPassed = true;
                        if (isText && !markerPassed)
                            continue;
                        ReadObject(c, coll->Add());
                    }
                } catch (...) {
                    coll->EndUpdate();
                    throw;
                }
                coll->EndUpdate();
            } else {
                ReadObject(el, sub);
            }
            break;
        }
        case TPropKind::pkOther:
            break;
        }
    }
}

// ---------------------------------------------------------------- layout

namespace {

void AppendEscaped(QByteArray& out, const char* s)
{
    for (; *s; ++s) {
        switch (*s) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\'': out += "&apos;"; break;
        case '"': out += "&quot;"; break;
        // A reader turns a bare CR into a line feed (XML's line ends): a text
        // that holds one is written as a reference, so it reads back as it was.
        case '\r': out += "&#13;"; break;
        default: out += *s; break;
        }
    }
}

void WriteElement(QByteArray& out, pugi::xml_node node, int level)
{
    out.append(level * 2, ' ');
    out += '<';
    out += node.name();
    QByteArray text;
    bool hasChildren = false;
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_element)
            hasChildren = true;
        else if (!hasChildren && (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata))
            AppendEscaped(text, c.value());
    }
    if (!hasChildren && text.isEmpty() && level > 0) {
        out += "/>\r\n";
        return;
    }
    out += '>';
    out += text;
    if (hasChildren) {
        out += "\r\n";
        for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
            if (c.type() == pugi::node_element)
                WriteElement(out, c, level + 1);
        out.append(level * 2, ' ');
    }
    out += "</";
    out += node.name();
    out += ">\r\n";
}

} // namespace

QByteArray SerializeReadableXml(const pugi::xml_document& doc)
{
    QByteArray out;
    out.reserve(4096);
    out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
    if (pugi::xml_node root = doc.document_element())
        WriteElement(out, root, 0);
    return out;
}

void ParseXmlDocument(pugi::xml_document& doc, const QByteArray& bytes)
{
    pugi::xml_parse_result r = doc.load_buffer(bytes.constData(), static_cast<size_t>(bytes.size()),
                                               pugi::parse_default | pugi::parse_comments | pugi::parse_declaration,
                                               pugi::encoding_auto);
    if (r.status == pugi::status_no_document_element)
        throw EXmlParseError(QStringLiteral("No root element found in xml"));
    if (!r)
        throw EXmlParseError(QStringLiteral("%1 at offset %2").arg(QString::fromLatin1(r.description())).arg(r.offset));
    if (!doc.document_element())
        throw EXmlParseError(QStringLiteral("No root element found in xml"));
}
