// Command texts come from the store: splitting never crashes, quoting gives every word back, the
// name substitution never overruns, and port names resolve or fail cleanly.
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/command_line.h"
#include "platform/port_names.h"

using namespace orva::platform;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    auto nul = input.find('\0');
    std::string_view text = input.substr(0, nul);
    std::string_view name = nul == std::string_view::npos ? std::string_view("AO-16") : input.substr(nul + 1);

    if (auto substituted = substitute_satellite_name(text, name); substituted && substituted->size() > 259)
        std::abort();
    if (auto words = split_command_line(text)) {
        std::string again;
        for (const std::string& word : *words)
            again += quote_argument(word) + " ";
        auto back = split_command_line(again);
        if (!back || *back != *words)
            std::abort();
    }
    (void)resolve_port_name(text, [&](std::string_view) -> std::optional<std::string> { return std::string(name); });
    return 0;
}
