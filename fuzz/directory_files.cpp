// The directory-file and directory-holes loaders: the scan never reads past the data and ends on
// a header boundary; the holes are ascending with one open end.
#include "engine/directory/directory_file.h"
#include "engine/directory/directory_holes.h"

#include <cstdlib>

using namespace orva::engine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto bytes = std::span(data, size);
    const HeaderScan scan = scan_directory_bytes(bytes);
    if (scan.good > size || (scan.good == size && (scan.torn || scan.damaged)))
        std::abort();
    if (scan.good > 0 && scan_directory_bytes(bytes.first(scan.good)).good != scan.good)
        std::abort();

    const auto loaded = DirectoryHoles::load(bytes, 1'800'000'000);
    const auto holes = loaded.holes.holes();
    if (holes.empty() || holes.back().end != kOpenTime)
        std::abort();
    for (std::size_t i = 1; i < holes.size(); ++i)
        if (holes[i].start < holes[i - 1].end)
            std::abort();
    auto again = DirectoryHoles::load(loaded.holes.encode(), 1'800'000'000);
    if (again.error || again.holes.count() != holes.size())
        std::abort();
    return 0;
}
