// Session logs and upload-file headers of any bytes: the viewers' reports never read past what
// they were given, the average is one of the counted figures' range, and the header fields keep
// their limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>

#include "station/viewers/reports.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace orva::station;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    SessionReport s = session_report(text);
    for (const auto& row : s.rows)
        if (row.size() != 53)
            std::abort();
    UploadReport u = upload_report(text);
    if (u.count != static_cast<std::int64_t>(u.rows.size()))
        std::abort();
    HeaderSummary h = header_summary(std::span<const std::uint8_t>(data, size));
    if (h.destination.size() > 11 || h.title.size() > 29)
        std::abort();
    return 0;
}
