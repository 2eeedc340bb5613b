// libFuzzer target for XML loading: any bytes must load (or fail) without a
// memory error, a hang or a fetch. Build as fuzz_html_parser (see there), then
//   build-fuzz/tests/fuzz_xml_load -max_total_time=300 -close_fd_mask=2
// (every parse error is reported on standard error; the mask keeps the fuzzer's
// own output readable).
#include "foundation/uXml.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Loads arbitrary bytes as a document, then walks the tree through the
// wrappers, as the feed readers do.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    static uXmlPlatform guard;
    return 0;
}

namespace
{

void walk(const uXmlNode& node, int depth)
{
    if (depth > 64)
        return;
    node.getTextContent();
    node.getAttribute(u"href");
    const char* typeName = nullptr;
    node.getNodeTypeName(typeName);
    uXmlNode* child = nullptr;
    for (node.getFirstChild(child); child;)
    {
        walk(*child, depth + 1);
        uXmlNode* next = nullptr;
        child->getNextSibling(next);
        child->release();
        child = next;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string text(reinterpret_cast<const char*>(data), size);
    uXmlDocument document;
    document.loadXml(text.c_str(), true, true, false, true);
    if (document.getDocumentElement())
    {
        uXmlNode root(document.getDocumentElement());
        walk(root, 0);
    }
    return 0;
}
