#include "station/housekeeping/housekeeping.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <map>

#include "common/settings/keys.h"
#include "platform/shared_clock.h"

namespace orva::station {

namespace fs = std::filesystem;

namespace {

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::int64_t last_write_seconds(const fs::path& p, std::error_code& ec)
{
    auto t = fs::last_write_time(p, ec);
    if (ec)
        return 0;
    // On the station clock, which a shared clock may run faster than the file system's.
    return std::chrono::duration_cast<std::chrono::seconds>(platform::station_time_of(t).time_since_epoch()).count();
}

// Regular files of the folder whose extension matches (case ignored), sorted by name.
std::vector<fs::path> files_with_extension(const std::string& folder, const char* extension)
{
    std::vector<fs::path> out;
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code ec2;
        if (!it->is_regular_file(ec2))
            continue;
        if (lower(it->path().extension().string()) == lower(extension))
            out.push_back(it->path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

class Deleter {
public:
    Deleter(HousekeepingRun& run, bool dry_run) : run_(run), dry_run_(dry_run) {}
    void remove(const fs::path& p)
    {
        if (dry_run_) {
            run_.deleted.push_back(p);
            return;
        }
        std::error_code ec;
        if (fs::remove(p, ec))
            run_.deleted.push_back(p);
        else
            run_.failures.push_back(p.string() + ": " + (ec ? ec.message() : "not found"));
    }

private:
    HousekeepingRun& run_;
    bool dry_run_;
};

void delete_old(Deleter& d, const std::optional<std::string>& folder, const char* extension, std::uint32_t days,
                std::int64_t now)
{
    if (!folder || folder->empty())
        return;
    std::int64_t cutoff = now - static_cast<std::int64_t>(days) * 86400;
    for (const auto& p : files_with_extension(*folder, extension)) {
        std::error_code ec;
        std::int64_t t = last_write_seconds(p, ec);
        if (!ec && t < cutoff)
            d.remove(p);
    }
}

// Keeps the newest `keep` numbers of the directory files; a gap in the numbering still counts
// as a kept number.
void delete_oldest_pfh(Deleter& d, const std::string& folder, std::uint32_t keep)
{
    std::map<long, fs::path> numbered;
    for (const auto& p : files_with_extension(folder, ".PFH")) {
        std::string name = p.filename().string();
        if (name.size() < 9 || lower(name.substr(0, 4)) != "brek")
            continue;
        std::string digits = name.substr(4, name.size() - 8);
        if (digits.empty() || digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
            continue;
        numbered.emplace(std::stol(digits), p);
    }
    if (numbered.empty())
        return;
    long smallest = numbered.begin()->first, largest = numbered.rbegin()->first;
    for (long n = smallest; n <= largest - static_cast<long>(keep); ++n) {
        auto it = numbered.find(n);
        if (it != numbered.end())
            d.remove(it->second);
    }
}

} // namespace

HousekeepingRules HousekeepingRules::from(const settings::HelmoSettings& h)
{
    HousekeepingRules r;
    r.oldest_files = h.fh_oldest_files;
    r.oldest_messages = h.fh_oldest_messages;
    r.delete_dlx = h.fh_delete_dlx != 0;
    r.delete_msg = h.fh_delete_msg != 0;
    r.delete_mymsg = h.fh_delete_mymsg != 0;
    r.delete_act = h.fh_delete_act != 0;
    r.delete_ul = h.fh_delete_ul != 0;
    r.pfh_delete_oldest = h.fh_pfh_action == 1;
    r.keep_pfh_files = h.fh_keep_pfh_files;
    return r;
}

HousekeepingRun run_housekeeping(const platform::Store& store, const HousekeepingRules& rules,
                                 const std::optional<std::string>& satellite, std::int64_t now, bool dry_run)
{
    HousekeepingRun run;
    Deleter d(run, dry_run);
    for (std::uint32_t i = 0; i < platform::max_enumeration; ++i) {
        auto sub = store.enumerate_subkeys(settings::keys::satellites, i);
        if (!sub)
            break;
        std::string key = platform::join_key_path(settings::keys::satellites, *sub);
        if (satellite && store.read_string(key, "Name", 14).value_or("") != *satellite)
            continue;
        auto dir = [&](const char* name) -> std::optional<std::string> {
            auto v = store.read_string(key, name, 260);
            return v ? std::optional<std::string>(*v) : std::nullopt;
        };
        if (rules.delete_dlx)
            delete_old(d, dir("DLX Directory"), ".DLX", rules.oldest_files, now);
        for (auto [on, name] : {std::pair{rules.delete_msg, "Message Directory"}, std::pair{rules.delete_mymsg, "My Message Directory"}}) {
            if (!on)
                continue;
            auto folder = dir(name);
            delete_old(d, folder, ".DLM", rules.oldest_messages, now);
            delete_old(d, folder, ".PFH", rules.oldest_messages, now);
        }
        auto sat_dir = dir("Satellite Directory");
        if (sat_dir && !sat_dir->empty()) {
            if (rules.delete_act) {
                delete_old(d, sat_dir, ".ACT", rules.oldest_files, now);
                delete_old(d, sat_dir, ".HOL", rules.oldest_files, now);
            }
            if (rules.delete_ul)
                delete_old(d, sat_dir, ".UL", rules.oldest_files, now);
            if (rules.pfh_delete_oldest)
                delete_oldest_pfh(d, *sat_dir, rules.keep_pfh_files);
        }
        if (satellite)
            break;
    }
    return run;
}

HousekeepingRun run_housekeeping(const platform::Store& store, const std::optional<std::string>& satellite,
                                 std::int64_t now, bool dry_run)
{
    return run_housekeeping(store, HousekeepingRules::from(settings::read_helmo(store)), satellite, now, dry_run);
}

} // namespace orva::station

namespace orva::station {

std::uint32_t housekeeping_event(const platform::Store& store, std::int64_t now,
                                 const std::function<void(const std::string&)>& log)
{
    HousekeepingRun run = run_housekeeping(store, std::nullopt, now);
    for (const auto& f : run.failures)
        log("file housekeeping: not deleted: " + f);
    log("file housekeeping: " + std::to_string(run.count()) + " files deleted");
    return run.count();
}

} // namespace orva::station
