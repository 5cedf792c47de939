// Any text either fails to parse or parses into values whose own text form parses back to them.
#include "platform/store/store_text.h"

#include <cstdlib>

using namespace orva::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view text(reinterpret_cast<const char*>(data), size);
    auto ops = parse_store_text(text);
    if (!ops)
        return 0;
    for (const auto& op : *ops) {
        if (op.kind != StoreTextOp::Kind::SetValue)
            continue;
        std::string line = "\"";
        for (char c : op.value.name) {
            if (c == '\\' || c == '"')
                line += '\\';
            line += c;
        }
        std::string again = std::string(store_text_header) + "\n[K]\n" + line + "\"=" + format_value_text(op.value) + "\n";
        auto back = parse_store_text(again);
        if (!back || back->size() != 2 || back->back().value.data != op.value.data ||
            back->back().value.type != op.value.type || back->back().value.name != op.value.name)
            std::abort();
    }
    return 0;
}
