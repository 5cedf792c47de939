// Equation files of any content: parsing never fails loudly, and every defined equation can be
// evaluated.
#include "engine/select/equations.h"

#include <string_view>

using namespace orva::engine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<EquationMessage> messages;
    const auto set = EquationSet::parse(text, messages);
    for (const auto& m : messages)
        if (m.line < 0) __builtin_trap();

    EquationEntry e;
    e.file_size = std::uint32_t(size);
    e.file_type = size ? data[0] : 0;
    e.upload_time = 1796688000u + std::uint32_t(size);
    e.source = std::string(text.substr(0, 20));
    e.title = std::string(text.substr(size / 2));
    e.file_name = "MOON.JPG";
    for (auto now : {0ll, 1796688000ll, -86400ll})
        (void)set.choose_status(e, std::chrono::sys_seconds(std::chrono::seconds(now)));
    return 0;
}
