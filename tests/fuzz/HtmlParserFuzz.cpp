// libFuzzer target for the HTML scanner: any bytes must be scanned without
// reading outside the buffer. Build with clang:
//   cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
//         -DKESTROVA_FUZZ=ON -DKESTROVA_BUILD_UI=OFF -DKESTROVA_BUILD_BENCH=OFF
//   cmake --build build-fuzz --target fuzz_html_parser && build-fuzz/tests/fuzz_html_parser
//   -max_total_time=300
#include "foundation/uHtmlParser.h"

#include <cstddef>
#include <cstdint>

namespace
{

// Touches everything a handler may read during the callbacks.
class ReadingHandler : public uHtmlHandler
{
public:
    void onStartTag(const uString& name, uHtmlParser& parser, bool& stop) override
    {
        m_sum += name.getLength() + parser.getAttributeText().getLength() + (parser.hasAttributes() ? 1 : 0);
        for (const char* key : {"href", "rel", "type", "title", "name", "value"})
            if (const uString* value = parser.getAttributes().getValue(key))
                m_sum += value->getLength();
        stop = m_sum == 12345;
    }
    void onEndTag(const uString& name, uHtmlParser&, bool&) override { m_sum += name.getLength(); }
    void onText(const uString& text, uHtmlParser&, bool&) override { m_sum += text.getLength(); }
    void onComment(const uString& text, uHtmlParser&, bool&) override { m_sum += text.getLength(); }

private:
    long m_sum = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    uHtmlParser parser;
    parser.setHandler(new ReadingHandler);
    parser.parseBuffer(reinterpret_cast<const char*>(data), static_cast<int>(size));
    return 0;
}
