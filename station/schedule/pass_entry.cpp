#include "station/schedule/pass_entry.h"

#include <algorithm>
#include <cstring>

#include "common/elements/byte_fields.h"

namespace orva::station {

using elements::detail::get_i32;
using elements::detail::get_text;
using elements::detail::put_le;

namespace {
void put_i32(std::span<std::uint8_t> b, std::size_t at, std::int64_t v)
{
    put_le(b, at, 4, std::uint32_t(std::int32_t(v)));
}
} // namespace

PassEntryBytes encode_pass_entry(const PassEntry& e)
{
    PassEntryBytes b{};
    // A name of the full twelve characters fills the field without its NUL rather than
    // losing its last character (the reader stops at twelve).
    std::memcpy(b.data(), e.name.data(), std::min<std::size_t>(e.name.size(), 12));
    put_i32(b, 12, e.aos);
    put_i32(b, 16, e.los);
    put_i32(b, 20, e.run_start);
    put_i32(b, 24, e.run_end);
    put_i32(b, 28, e.min_pass_time);
    put_i32(b, 32, e.start_lead);
    // 36..43 reserved
    put_i32(b, 44, e.run_now);
    put_i32(b, 48, e.ended_by_station);
    put_i32(b, 52, e.max_elevation);
    put_i32(b, 56, e.priority);
    put_i32(b, 60, e.effective_priority);
    put_i32(b, 64, e.dont_run);
    // 68 reserved
    put_i32(b, 72, e.flip);
    put_i32(b, 76, e.listen_only);
    put_i32(b, 80, e.elevation_ok);
    put_i32(b, 84, e.ignore_pass_checking);
    put_i32(b, 88, e.run_regardless);
    put_i32(b, 92, e.popup_done);
    // 96 notice handle: meaningless on disk
    put_i32(b, 100, e.last_run_end);
    // 104 list link: meaningless on disk
    return b;
}

PassEntry decode_pass_entry(std::span<const std::uint8_t, kPassEntrySize> b)
{
    PassEntry e;
    e.name = get_text(b, 0, 12);
    e.aos = get_i32(b, 12);
    e.los = get_i32(b, 16);
    e.run_start = get_i32(b, 20);
    e.run_end = get_i32(b, 24);
    e.min_pass_time = get_i32(b, 28);
    e.start_lead = get_i32(b, 32);
    e.run_now = get_i32(b, 44);
    e.ended_by_station = get_i32(b, 48);
    e.max_elevation = get_i32(b, 52);
    e.priority = get_i32(b, 56);
    e.effective_priority = get_i32(b, 60);
    e.dont_run = get_i32(b, 64);
    e.flip = get_i32(b, 72);
    e.listen_only = get_i32(b, 76);
    e.elevation_ok = get_i32(b, 80);
    e.ignore_pass_checking = get_i32(b, 84);
    e.run_regardless = get_i32(b, 88);
    e.popup_done = get_i32(b, 92);
    e.last_run_end = get_i32(b, 100);
    e.max_elevation_deg = e.max_elevation;
    e.tca = (e.aos + e.los) / 2;
    return e;
}

} // namespace orva::station
