#include "engine/directory/directory_store.h"

#include "common/atomic_file.h"
#include "common/file_names.h"
#include "engine/directory/status_codes.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace orva::engine {

namespace fs = std::filesystem;

namespace {

std::string upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool contains(std::string_view hay, std::string_view needle)
{
    return !needle.empty() && hay.find(needle) != std::string_view::npos;
}

std::string cut(std::string_view s, std::size_t n) { return std::string(s.substr(0, std::min(n, s.size()))); }

} // namespace

DirectoryStore::DirectoryStore(fs::path folder, DirectorySettings settings, Clock clock, StatusSink* status,
                               DirectoryListener* listener, StatusDecider* decider)
    : folder_(std::move(folder)), settings_(std::move(settings)), clock_(std::move(clock)), status_(status),
      listener_(listener), decider_(decider), holes_(DirectoryHoles::fresh(clock_()))
{
    settings_.my_call = upper(settings_.my_call);
}

void DirectoryStore::post(std::string text, LineColour colour)
{
    if (status_)
        status_->post(std::move(text), colour);
}

void DirectoryStore::open()
{
    auto opened = DirectoryFile::open(folder_);
    if (opened) {
        if (opened->notice)
            post(*opened->notice, LineColour::Red);
        file_.emplace(std::move(opened->file));
    } else {
        post("Error reading PFH files", LineColour::Red);
    }

    const fs::path holes_path = resolve_file_nocase(folder_, kDirectoryHolesName);
    std::error_code ec;
    bool reset = true;
    if (fs::exists(holes_path, ec)) {
        auto bytes = read_file(holes_path);
        if (bytes) {
            auto loaded = DirectoryHoles::load(*bytes, clock_());
            if (loaded.error)
                post(*loaded.error, LineColour::Red);
            reset = loaded.reset;
            holes_ = std::move(loaded.holes);
        } else {
            post("Error opening directory hole file.", LineColour::Red);
        }
    }
    if (reset) {
        post("Resetting directory to 1.5 days old.", LineColour::Blue);
        holes_ = DirectoryHoles::fresh(clock_());
    }
    newest_seen_ = false;
    show_hole_status();

    std::string notice;
    auto table = StatusTable::open(resolve_file_nocase(folder_, kStatusTableName), &notice);
    if (table) {
        table_.emplace(std::move(*table));
        if (!notice.empty())
            post(notice, LineColour::Red);
    } else {
        post(table.error().message, LineColour::Red);
    }
}

void DirectoryStore::save()
{
    flush_directory_file();
    if (auto s = write_file_atomic(resolve_file_nocase(folder_, kDirectoryHolesName), holes_.encode()); !s)
        post("Error saving directory hole file.", LineColour::Red);
}

void DirectoryStore::flush_directory_file()
{
    if (file_)
        file_->flush();
}

void DirectoryStore::close()
{
    save();
    file_.reset();
    if (table_)
        table_->sync();
    table_.reset();
}

void DirectoryStore::show_hole_status()
{
    if (holes_.count() == 1)
        status_text_ = newest_seen_ ? "DIR <Up to Date>" : "DIR Old";
    else
        status_text_ = "DIR " + std::to_string(holes_.count()) + " holes";
}

void DirectoryStore::became_up_to_date()
{
    status_text_ = "DIR <Up to Date>";
    up_to_date_ = clock_();
    save();
    if (listener_)
        listener_->on_up_to_date();
}

void DirectoryStore::confirm_up_to_date()
{
    if (newest_seen_ && holes_.count() == 1)
        return;
    newest_seen_ = true;
    if (holes_.count() == 1)
        became_up_to_date();
}

void DirectoryStore::on_directory_fragment(const DirectoryFragment& f)
{
    if (f.type_error()) {
        ++counters_.type_errors;
        post("DIR Processing - type error", LineColour::Red);
        return;
    }
    counters_.bytes += f.data.size();
    const auto step = assembler_.feed(f);
    if (step == HeaderAssembler::Step::Overflow) {
        ++counters_.length_errors;
        char text[64];
        std::snprintf(text, sizeof text, "*** Dir Length error in file %X ***", f.file_number);
        post(text, LineColour::Red);
        return;
    }
    if (f.newest() && f.ends_header() && step != HeaderAssembler::Step::Ignored) {
        newest_seen_ = true;
        if (holes_.count() == 1)
            became_up_to_date();
    }
    if (step != HeaderAssembler::Step::Complete)
        return;

    const std::uint64_t t_old = f.t_old;
    const std::uint64_t t_end = std::uint64_t(f.t_new) + 1;
    const auto hole = holes_.first_overlap(t_old, t_end);
    if (!hole) {
        ++counters_.outside_holes;
        return;
    }
    const auto bytes = assembler_.header();
    auto parsed = pfh::parse_pfh(bytes);
    if (parsed && parsed->file_number == f.file_number) {
        store_header(*parsed, bytes.first(parsed->header_length));
    } else if (!checksum_error(f.file_number)) {
        return;
    }

    const std::size_t before = holes_.count();
    // Something newer than all that was held: without the newest-file flag on it the server may
    // hold more, and the directory is no longer known to be up to date.
    if (!f.newest() && holes_.holes()[*hole].end == kOpenTime && newest_seen_) {
        newest_seen_ = false;
        up_to_date_.reset();
    }
    holes_.fill(*hole, t_old, t_end);
    show_hole_status();
    if (holes_.count() < before && holes_.count() == 1 && newest_seen_)
        became_up_to_date();
}

// Counts a bad header; true once the same file has failed six times, when its range is taken
// as heard anyway so a header the satellite keeps sending wrong cannot hold the directory back.
bool DirectoryStore::checksum_error(std::uint32_t file_number)
{
    ++counters_.checksum_errors;
    for (auto& e : errors_) {
        if (e.file_number == file_number && e.count > 0) {
            if (e.count < 5) {
                ++e.count;
                return false;
            }
            e = {};
            char text[96];
            std::snprintf(text, sizeof text, "Dir checksum error in file %lX exceeded maximum count",
                          static_cast<unsigned long>(file_number));
            post(text, LineColour::Red);
            return true;
        }
    }
    for (auto& e : errors_)
        if (e.count == 0) {
            e = {file_number, 1};
            break;
        }
    return false;
}

void DirectoryStore::store_header(const pfh::PfhHeader& header, std::span<const std::uint8_t> bytes)
{
    counters_.bytes_used += bytes.size();
    ++counters_.headers;
    if (file_) {
        if (auto s = file_->append(bytes); !s)
            post("Error writing PFH file: " + s.error().message, LineColour::Red);
    }
    if (listener_)
        listener_->on_header_stored(bytes);

    LineColour colour = LineColour::Black;
    bool blank_letter = false;
    const int code = decide_status(header, colour, blank_letter);
    const char letter = blank_letter ? ' ' : status_letter(code);

    char line[160];
    const std::string dest = header.destination.value_or("");
    std::snprintf(line, sizeof line, "%8lX %c T:%-10s F:%-10s %s", static_cast<unsigned long>(header.file_number),
                  letter, cut(dest, 10).c_str(), cut(header.source.value_or(""), 10).c_str(),
                  cut(header.title.value_or(""), 40).c_str());
    std::string text = line;
    if (dest.empty())
        text += " " + header.display_name();
    post(std::move(text), colour);
    if (listener_)
        listener_->on_new_entry(header.file_number, code);
}

int DirectoryStore::decide_status(const pfh::PfhHeader& header, LineColour& colour, bool& blank_letter)
{
    const std::string source = upper(header.source.value_or(""));
    const std::string dest = upper(header.destination.value_or(""));
    int code = kCodeGrab;
    bool decided = false;
    if (contains(dest, settings_.my_call)) {
        code = kCodeMine;
        decided = true;
    } else if (contains(dest, "GATEWAY") && header.file_type == 18 && settings_.enable_satgate) {
        decided = true;
        bool rejected = false;
        for (std::size_t pos = 0; pos < settings_.satgate_reject.size();) {
            const std::size_t end = std::min(settings_.satgate_reject.find(' ', pos), settings_.satgate_reject.size());
            const std::string word = upper(settings_.satgate_reject.substr(pos, end - pos));
            if (!word.empty() && word == source)
                rejected = true;
            pos = end + 1;
        }
        if (rejected) {
            char text[96];
            std::snprintf(text, sizeof text, "File %lX from rejected callsign %s",
                          static_cast<unsigned long>(header.file_number), source.c_str());
            post(text, LineColour::Red);
            code = kCodeNever;
        } else {
            const int r = listener_ ? listener_->prepare_gateway(header) : 3;
            if (r == 1) {
                blank_letter = true;
                return get_download_status(header.file_number).value_or(kCodeGrab);
            }
            if (r == 2) {
                code = int(std::clamp<std::uint32_t>(settings_.satgate_priority, 1, 11));
                colour = LineColour::Green;
            } else {
                code = kCodeNever;
            }
        }
    }
    if (!decided && decider_) {
        if (auto c = decider_->decide(header, clock_()))
            code = *c;
    }
    const bool own_upload = contains(source, settings_.my_call);
    if (own_upload && settings_.dl_mine)
        code = kCodeNever;
    const int result = set_download_status(header.file_number, code, true);
    if (colour != LineColour::Green) {
        if (own_upload)
            colour = LineColour::Blue;
        else if (result == kCodeMine)
            colour = LineColour::Red;
        else if (result >= kCodeAuto3 && result <= kCodePriority)
            colour = LineColour::Green;
    }
    return result;
}

std::optional<int> DirectoryStore::get_download_status(std::uint32_t file_number)
{
    if (!table_)
        return std::nullopt;
    return table_->code_of(file_number);
}

int DirectoryStore::set_download_status(std::uint32_t file_number, int code, bool mark_changed)
{
    if (!table_)
        return 0;
    const auto r = table_->set_status(file_number, code, mark_changed, std::uint32_t(clock_()), settings_.ack_receipt);
    if (r.send_ack && listener_)
        listener_->send_receive_ack(file_number);
    return r.code;
}

} // namespace orva::engine
