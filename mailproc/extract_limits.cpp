#include "mailproc/extract_limits.h"

#include "common/settings/keys.h"

namespace orva::mailproc {

ExtractLimits read_extract_limits(const platform::Store& store)
{
    ExtractLimits limits;
    auto seconds = store.read_integer(settings::keys::dispo, "Extract Time Limit");
    if (seconds && *seconds != 0)
        limits.time_limit = std::chrono::seconds(*seconds > 86400 ? 86400 : *seconds);
    auto megabytes = store.read_integer(settings::keys::dispo, "Extract Size Limit");
    if (megabytes && *megabytes != 0)
        limits.size_limit_bytes = std::uint64_t(*megabytes > 65536 ? 65536 : *megabytes) << 20;
    return limits;
}

} // namespace orva::mailproc
