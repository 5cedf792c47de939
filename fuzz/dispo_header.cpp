// The mail processor's walk of a download's header and the names it derives from it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "mailproc/download_header.h"
#include "mailproc/file_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace orva::mailproc;
    DownloadHeader h = read_download_header(std::span(data, size));
    if (h.length > size)
        std::abort();
    const std::uint32_t number = h.file_number.value_or(0);
    std::string name = safe_file_name(body_file_name(h, number), number);
    if (name.empty() || name == "." || name == ".." || name[0] == '-')
        std::abort();
    for (char c : name)
        if (c == '/' || c == '\\' || c == '\0' || static_cast<unsigned char>(c) < 0x20)
            std::abort();
    (void)choose_route(type_for_name(h.file_type.value_or(0), name), false, false);
    (void)compression_for(to_upper(name), h.compression);
    return 0;
}
