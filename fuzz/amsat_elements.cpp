// AMSAT verbose element text through the shared element-text check.
#include "fuzz/element_text_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz_element_text(data, size, [](std::string_view text) { return orva::station::parse_amsat(text); });
}
