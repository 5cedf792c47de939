#include "engine/log/utc_text.h"

#include <cstdio>

namespace orva::engine {

std::string utc_text(std::chrono::sys_seconds t) {
    static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                              "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto day = std::chrono::floor<std::chrono::days>(t);
    const std::chrono::year_month_day ymd{day};
    const std::chrono::hh_mm_ss hms{t - day};
    char out[40];
    std::snprintf(out, sizeof out, "%02d:%02d:%02d %02u %s %d", int(hms.hours().count()), int(hms.minutes().count()),
                  int(hms.seconds().count()), unsigned(ymd.day()), kMonths[unsigned(ymd.month()) - 1], int(ymd.year()));
    return out;
}

} // namespace orva::engine
