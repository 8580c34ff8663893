#pragma once

#include <QByteArray>
#include <QObject>
#include <pugixml.hpp>

// Writes the published properties of an object as child elements of an XML
// element, and reads them back into an existing object. Element names are
// property names, texts are values, sub-objects nest under their class marker
// "(ClassName)", collections become lists of item elements.
class TsdXmlObjectWriter {
public:
    void WriteObject(pugi::xml_node node, QObject* object);
};

class TsdXmlObjectReader {
public:
    bool IgnoreUnfoundPropties() const { return FIgnoreUnfoundPropties; }
    void SetIgnoreUnfoundPropties(bool v) { FIgnoreUnfoundPropties = v; }
    // Errors stop the read where they occur; what was read before stays.
    void ReadObject(pugi::xml_node node, QObject* object);

private:
    bool FIgnoreUnfoundPropties = false;
};

// The readable layout: UTF-8 without BOM, the declaration line, two blanks of
// indent per level, CRLF after every line, <Name/> for an empty element below
// the root, the five predefined entities.
QByteArray SerializeReadableXml(const pugi::xml_document& doc);

// Parses a document; raises EXmlParseError with the parser's message.
void ParseXmlDocument(pugi::xml_document& doc, const QByteArray& bytes);
