// load -> save -> load -> save. What the first save wrote must come back in
// the second save unchanged: the same elements in the same order with the
// same texts. The second save may add elements, and only one kind: an
// emptied string (or an integer at its "no value" mark) is not written, so
// its default returns on the next read (stored files rely on that). From
// the second save on the bytes must stay the same: a read and a write that
// keep changing the file would change the user's settings at every start.
#include "fuzzcommon.h"
#include "fuzzconfig.h"

#include <pugixml.hpp>
#include <cstring>

namespace {

using fuzzcommon::Check;

std::string OwnText(pugi::xml_node node)
{
    std::string text;
    for (pugi::xml_node c = node.first_child(); c && c.type() != pugi::node_element; c = c.next_sibling())
        text += c.value();
    return text;
}

bool HasChildElement(pugi::xml_node node)
{
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element)
            return true;
    return false;
}

// Every element under a is found under b, in order, with the same text.
bool Kept(pugi::xml_node a, pugi::xml_node b)
{
    if (OwnText(a) != OwnText(b))
        return false;
    pugi::xml_node cb = b.first_child();
    for (pugi::xml_node ca = a.first_child(); ca; ca = ca.next_sibling()) {
        if (ca.type() != pugi::node_element)
            continue;
        while (cb && (cb.type() != pugi::node_element || std::strcmp(cb.name(), ca.name()) != 0)) {
            // An added element must be a plain value that came back, never an item or a group.
            if (cb.type() == pugi::node_element && HasChildElement(cb))
                return false;
            cb = cb.next_sibling();
        }
        if (!cb || !Kept(ca, cb))
            return false;
        cb = cb.next_sibling();
    }
    return true;
}

void RoundTrip(TPersistent* first, TPersistent* second, TPersistent* third, const QByteArray& input)
{
    fuzzconfig::Load(first, input);
    const QByteArray once = fuzzconfig::Save(first);
    Check(fuzzconfig::Load(second, once), "the written file reads without an error");
    const QByteArray twice = fuzzconfig::Save(second);
    Check(fuzzconfig::Load(third, twice), "the file written again reads without an error");
    const QByteArray thrice = fuzzconfig::Save(third);

    pugi::xml_document d1, d2;
    Check(d1.load_buffer(once.constData(), size_t(once.size())) && d2.load_buffer(twice.constData(), size_t(twice.size())),
          "written files are XML");
    if (!Kept(d1.document_element(), d2.document_element()) || twice != thrice) {
        std::fprintf(stderr, "first save:\n%s\nsecond save:\n%s\nthird save:\n%s\n", once.constData(),
                     twice.constData(), thrice.constData());
        fuzzcommon::Fail("a round trip changed what was written");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzzconfig::RegisterOnce();
    const QByteArray bytes = fuzzcommon::Bytes(data, size);
    // The reader's memory bound is checked by fuzz_config_load; here the
    // writes of three models count as well.
    {
        fuzzconfig::TModel a, b, c;
        RoundTrip(a.App.get(), b.App.get(), c.App.get(), bytes);
        RoundTrip(a.Uploaders.get(), b.Uploaders.get(), c.Uploaders.get(), bytes);
    }
    return 0;
}
