// Tessel's directory-file reader: never reads past the data, every header it hands on parses
// again on its own, and what it reports adds up to at most the bytes given.
#include "dirview/directory_reader.h"
#include "dirview/directory_entry.h"
#include "dirview/row_format.h"
#include "common/pfh/pfh_builder.h"

#include <cstdlib>

using namespace orva;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto bytes = std::span(data, size);
    std::size_t header_bytes = 0;
    const dirview::ReadReport r = dirview::read_directory_bytes(bytes, [&](pfh::PfhHeader&& h) {
        header_bytes += h.header_length;
        if (h.file_number == 0)
            std::abort();
        const dirview::DirectoryEntry e = dirview::entry_from_header(h);
        if (e.file_name.size() > 13 || e.file_name.find_first_of("/\\") != std::string::npos ||
            e.file_name == "..")
            std::abort();
        if (dirview::format_row(e, 0).empty())
            std::abort();
        (void)dirview::format_info(e, 0);
        return true;
    });
    if (header_bytes + r.skipped_bytes > size)
        std::abort();
    return 0;
}
