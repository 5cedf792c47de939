#include "dirview/directory_model.h"

#include "common/file_names.h"
#include "dirview/directory_reader.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>
#include <unordered_map>

namespace orva::dirview {
namespace fs = std::filesystem;

namespace {

std::string upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

bool contains(const std::optional<std::string>& text, std::string_view what)
{
    return text && text->find(what) != std::string::npos;
}

bool is_bbs_type(std::uint8_t t) { return t == 1 || t == 2 || t == 18; }

std::optional<std::vector<std::uint8_t>> read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return bytes;
}

std::uint32_t le32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

// Percent received from a hole list: flag block and length (8 bytes), the hole count, then
// {start, end} pairs, end exclusive. A file of size 0 has no meaningful share: 0.
std::uint8_t percent_from_holes(std::span<const std::uint8_t> bytes, std::int32_t file_size)
{
    if (file_size <= 0 || bytes.size() < 12)
        return 0;
    const std::uint64_t size = static_cast<std::uint32_t>(file_size);
    std::uint64_t count = le32(&bytes[8]);
    count = std::min<std::uint64_t>(count, (bytes.size() - 12) / 8);
    std::uint64_t p = 0, s = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::uint64_t start = le32(&bytes[12 + i * 8]);
        const std::uint64_t end = le32(&bytes[16 + i * 8]);
        if (start > p)
            s += start - p;
        p = std::max(p, end);
    }
    if (size > p)
        s += size - p;
    return static_cast<std::uint8_t>(std::min<std::uint64_t>(100, s * 100 / size));
}

// "NAME.EXT" with the first "." of the file-name part and all after it replaced by `ext`.
fs::path replace_extension_part(const fs::path& path, std::string_view ext)
{
    std::string name = path.filename().string();
    const auto dot = name.find('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return resolve_file_nocase(path.parent_path(), name + std::string(ext));
}

// `folder`/`name`, only when that stays inside the folder; an existing file whose name differs
// only in case is the one meant.
std::optional<fs::path> inside(const fs::path& folder, std::string_view name)
{
    if (folder.empty() || name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos)
        return std::nullopt;
    return resolve_file_nocase(folder, name);
}

bool remove_file(const fs::path& path, std::vector<fs::path>& deleted)
{
    std::error_code ec;
    const auto st = fs::symlink_status(path, ec);
    if (ec || !(fs::is_regular_file(st) || fs::is_symlink(st)))
        return false;
    if (fs::remove(path, ec) && !ec) {
        deleted.push_back(path);
        return true;
    }
    return false;
}

// A header text placed in the composer's arguments: one value each, whatever it holds.
std::string argument_text(const std::optional<std::string>& text)
{
    std::string out;
    if (!text)
        return out;
    for (char c : *text)
        if (c != '~' && static_cast<unsigned char>(c) >= 0x20)
            out += c;
    return out;
}

} // namespace

struct DirectoryModel::State {
    bool open = false;
    DirectoryConfig config;
    std::optional<StatusView> table;
    ViewEquations suite_equations;
    ViewEquations equations;
    std::vector<std::unique_ptr<DirectoryEntry>> entries; // file number descending
    std::vector<DirectoryEntry*> display;
    std::vector<std::uint8_t> display_status; // as last reported by poll_status_changes
    // The hole lists last read, by file number: their time and size, so only rewritten ones are read.
    std::unordered_map<std::uint32_t, std::pair<fs::file_time_type, std::uintmax_t>> hole_files;

    std::vector<std::uint32_t> read_hole_files();
    std::string mode;
    DirectoryCounters counters;

    bool accepted(const DirectoryEntry& e) const
    {
        if (config.load_bbs || !e.destination || !is_bbs_type(e.file_type))
            return true;
        return e.destination->find(config.callsign) != std::string::npos;
    }

    void count(const DirectoryEntry& e, int sign)
    {
        auto add = [sign](auto& c) { c = static_cast<std::remove_reference_t<decltype(c)>>(c + sign); };
        add(counters.loaded);
        if (is_bbs_type(e.file_type))
            add(counters.bbs);
        else if (e.file_type == 3 || e.file_type >= 200)
            add(counters.log);
        else
            add(counters.user);
        switch (e.compression) {
        case 0: break;
        case 1: add(counters.pkpak); break;
        case 2: add(counters.pkzip); break;
        case 3: add(counters.lharc); break;
        default: add(counters.other_compression); break;
        }
        if (e.compression != 0)
            add(counters.compressed);
    }

    // Index of the first entry whose file number is not above `n`.
    std::size_t lower_bound(std::uint32_t n) const
    {
        auto it = std::lower_bound(entries.begin(), entries.end(), n,
                                   [](const std::unique_ptr<DirectoryEntry>& e, std::uint32_t v) { return e->file_number > v; });
        return std::size_t(it - entries.begin());
    }

    DirectoryEntry* find(std::uint32_t n) const
    {
        const std::size_t i = lower_bound(n);
        return i < entries.size() && entries[i]->file_number == n ? entries[i].get() : nullptr;
    }

    std::uint8_t status_of(std::uint32_t n) const { return table ? table->status_of(n) : kStatusUnknown; }

    void reset_display_status()
    {
        display_status.clear();
        if (!table)
            return;
        auto snap = table->snapshot();
        display_status.reserve(display.size());
        for (const DirectoryEntry* e : display) {
            auto it = snap.find(e->file_number);
            display_status.push_back(it == snap.end() ? kStatusUnknown : it->second);
        }
    }
};

// Reads the hole lists that are new or rewritten since the last look and sets the entries' percent;
// gives the file numbers whose percent changed.
std::vector<std::uint32_t> DirectoryModel::State::read_hole_files()
{
    State& s = *this;
    std::vector<std::uint32_t> changed;
    std::error_code ec;
    for (auto it = fs::directory_iterator(s.config.folders.satellite, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() < 5 || !equal_ignoring_case(std::string_view(name).substr(name.size() - 4), ".HOL"))
            continue;
        auto n = parse_file_number_name(name);
        if (!n || *n == 0 || name.find('.') != name.size() - 4)
            continue;
        DirectoryEntry* e = s.find(*n);
        if (!e)
            continue;
        std::error_code tec, sec;
        const auto stamp = std::make_pair(it->last_write_time(tec), it->file_size(sec));
        auto [known, fresh] = s.hole_files.try_emplace(*n, stamp);
        if (!fresh && known->second == stamp)
            continue;
        known->second = stamp;
        if (auto bytes = read_file(it->path())) {
            const std::uint8_t p = percent_from_holes(*bytes, e->file_size);
            if (p != e->percent) {
                e->percent = p;
                changed.push_back(*n);
            }
        }
    }
    return changed;
}

DirectoryModel::DirectoryModel(const platform::Clock& clock) : clock_(clock), state_(std::make_unique<State>()) {}

DirectoryModel::~DirectoryModel() { close(); }

void DirectoryModel::load_suite_equations(const fs::path& suite_dir)
{
    state_->suite_equations = ViewEquations::load(suite_dir / kEquationsFileName);
    if (!state_->open)
        state_->equations = state_->suite_equations;
}

OpenReport DirectoryModel::open(const DirectoryConfig& config)
{
    close();
    State& s = *state_;
    OpenReport report;
    s.config = config;
    s.config.satellite = upper(config.satellite);
    s.counters = {};
    s.entries.clear();
    s.display.clear();
    s.mode.clear();

    s.equations = s.suite_equations;
    if (auto own = find_file_nocase(s.config.folders.satellite, kEquationsFileName))
        s.equations = ViewEquations::load(*own);

    std::error_code ec;
    const fs::path dir = s.config.folders.satellite;
    if (dir.empty() || !fs::is_directory(dir, ec)) {
        report.message = "Satellite Directory not found";
        report.detail = dir.string();
        return report;
    }
    s.open = true;

    if (auto table = StatusView::open(dir)) {
        s.table.emplace(std::move(*table));
        report.status_table = true;
    } else {
        report.notices.push_back("No download-status table: " + table.error().message);
    }

    const std::vector<DirectoryFileRef> files = list_directory_files(dir);
    if (files.empty()) {
        report.message = "There are no PFH files to load";
        return report;
    }
    const std::int64_t high = files.back().number;
    const std::int64_t low = std::max<std::int64_t>(0, high - std::int64_t(s.config.maximum_pfh_files));

    // Dedup as we go: the later upload time wins, the first read on a tie.
    std::unordered_map<std::uint32_t, std::size_t> seen;
    std::vector<std::unique_ptr<DirectoryEntry>> loaded;
    bool full = s.config.maximum_messages == 0;
    for (auto f = files.rbegin(); f != files.rend() && !full; ++f) {
        if (f->number < low)
            break;
        auto bytes = read_file(f->path);
        if (!bytes) {
            report.notices.push_back(f->path.filename().string() + ": could not be read");
            continue;
        }
        ++report.files_read;
        const ReadReport r = read_directory_bytes(*bytes, [&](pfh::PfhHeader&& h) {
            auto e = std::make_unique<DirectoryEntry>(entry_from_header(h));
            if (!s.accepted(*e))
                return true;
            auto [it, inserted] = seen.emplace(e->file_number, loaded.size());
            if (inserted) {
                loaded.push_back(std::move(e));
                if (loaded.size() >= s.config.maximum_messages) {
                    full = true;
                    return false;
                }
            } else if (e->upload_time > loaded[it->second]->upload_time) {
                loaded[it->second] = std::move(e);
            }
            return true;
        });
        report.bad_headers += r.bad_sums;
        if (r.bad_sums || r.skipped_bytes || r.torn_tail) {
            std::string line = f->path.filename().string() + ":";
            if (r.bad_sums)
                line += " " + std::to_string(r.bad_sums) + " damaged header(s) dropped;";
            if (r.skipped_bytes)
                line += " " + std::to_string(r.skipped_bytes) + " byte(s) that are no header skipped;";
            if (r.torn_tail)
                line += " a torn last header dropped;";
            line.pop_back();
            report.notices.push_back(line);
        }
    }
    std::sort(loaded.begin(), loaded.end(),
              [](const auto& a, const auto& b) { return a->file_number > b->file_number; });
    s.entries = std::move(loaded);
    for (const auto& e : s.entries)
        s.count(*e, +1);

    // Percent received, from the hole lists of files being assembled.
    s.hole_files.clear();
    (void)s.read_hole_files();
    // Message flags, from the messages the mail processor has filed.
    for (const fs::path& folder : {s.config.folders.message, s.config.folders.my_message}) {
        if (folder.empty())
            continue;
        for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (name.size() < 5 || !equal_ignoring_case(std::string_view(name).substr(name.size() - 4), ".DLM"))
                continue;
            if (auto n = parse_file_number_name(name))
                if (DirectoryEntry* e = s.find(*n))
                    e->message = true;
        }
        ec.clear();
    }

    report.loaded = true;
    if (!select_mode(kModeChanges) || s.display.empty())
        select_mode(kModeAll);
    return report;
}

void DirectoryModel::close()
{
    State& s = *state_;
    if (s.table) {
        if (!s.config.keep_changed_marks)
            s.table->clear_changed();
        s.table->flush();
    }
    s.table.reset();
    s.entries.clear();
    s.display.clear();
    s.display_status.clear();
    s.mode.clear();
    s.counters = {};
    s.open = false;
}

bool DirectoryModel::is_open() const { return state_->open; }
const DirectoryConfig& DirectoryModel::config() const { return state_->config; }

AddResult DirectoryModel::add_entry(std::span<const std::uint8_t> header)
{
    State& s = *state_;
    AddResult result;
    if (!s.open) {
        result.reason = "no directory is open";
        return result;
    }
    auto parsed = pfh::parse_pfh(header, pfh::ParseOptions{.check_header_checksum = false});
    if (!parsed) {
        result.reason = parsed.error().message;
        return result;
    }
    auto e = std::make_unique<DirectoryEntry>(entry_from_header(*parsed));
    result.file_number = e->file_number;
    if (!s.accepted(*e)) {
        result.kind = AddResult::Dropped;
        return result;
    }
    const std::size_t at = s.lower_bound(e->file_number);
    if (at < s.entries.size() && s.entries[at]->file_number == e->file_number) {
        DirectoryEntry& old = *s.entries[at];
        if (e->upload_time <= old.upload_time) {
            result.kind = AddResult::Kept;
            return result;
        }
        // What we know locally about the file stays true of the newer header.
        e->percent = old.percent;
        e->message = old.message;
        s.count(old, -1);
        s.count(*e, +1);
        old = std::move(*e); // in place: display rows keep pointing at it
        result.kind = AddResult::Replaced;
        result.row = row_of(old.file_number);
        return result;
    }
    s.count(*e, +1);
    s.entries.insert(s.entries.begin() + std::ptrdiff_t(at), std::move(e));
    result.kind = AddResult::Added;
    return result;
}

std::vector<std::string> DirectoryModel::mode_names() const
{
    std::vector<std::string> names = {kModeNewestDownloaded, kModeChanges, kModeAll, kModeRequested};
    std::vector<std::string> eq;
    for (const auto& e : state_->equations.equations)
        if (std::find(eq.begin(), eq.end(), e.name) == eq.end())
            eq.push_back(e.name);
    std::sort(eq.begin(), eq.end());
    names.insert(names.end(), eq.begin(), eq.end());
    return names;
}

bool DirectoryModel::select_mode(std::string_view name)
{
    State& s = *state_;
    enum { Newest, Changes, All, Requested, Equation } kind;
    const ViewEquation* equation = nullptr;
    if (name == kModeNewestDownloaded)
        kind = Newest;
    else if (name == kModeChanges)
        kind = Changes;
    else if (name == kModeAll)
        kind = All;
    else if (name == kModeRequested)
        kind = Requested;
    else if ((equation = s.equations.find(name)) != nullptr)
        kind = Equation;
    else
        return false;
    if (kind != All && !s.table)
        return false;

    std::unordered_map<std::uint32_t, std::uint8_t> snap;
    if (s.table)
        snap = s.table->snapshot();
    auto status = [&](std::uint32_t n) {
        auto it = snap.find(n);
        return it == snap.end() ? kStatusUnknown : it->second;
    };
    s.display.clear();
    for (const auto& up : s.entries) {
        if (s.display.size() >= s.config.display_limit)
            break;
        DirectoryEntry* e = up.get();
        bool take = false;
        switch (kind) {
        case Newest: take = (status(e->file_number) & 0x8F) == 0x83; break;
        case Changes: take = (status(e->file_number) & kChangedBit) != 0; break;
        case All: take = true; break;
        case Requested: take = (status(e->file_number) & 0x1F) == 0x13; break;
        case Equation: take = evaluate(equation->terms, ViewFacts{e, status(e->file_number)}); break;
        }
        if (take)
            s.display.push_back(e);
    }
    s.mode = std::string(name);
    s.reset_display_status();
    return true;
}

const std::string& DirectoryModel::current_mode() const { return state_->mode; }
const std::vector<EquationFault>& DirectoryModel::equation_faults() const { return state_->equations.faults; }

std::size_t DirectoryModel::row_count() const { return state_->display.size(); }
const DirectoryEntry& DirectoryModel::row(std::size_t index) const { return *state_->display.at(index); }

std::string DirectoryModel::column_text(std::size_t index, Column column) const
{
    if (index >= state_->display.size())
        return {};
    const DirectoryEntry& e = *state_->display[index];
    auto piece = [](const std::optional<std::string>& t, std::size_t w) {
        std::string s(t ? std::string_view(*t).substr(0, w) : std::string_view());
        s.resize(w, ' ');
        return visible_text(s);
    };
    switch (column) {
    case Column::FileNumber: return format_number(e.file_number);
    case Column::Line: return format_row(e, status_of(e.file_number));
    case Column::Status: return std::string(1, status_letter(status_of(e.file_number)));
    case Column::To: return piece(e.destination, 7);
    case Column::From: return piece(e.source, 7);
    case Column::UploadTime: return format_upload_time(e.upload_time);
    case Column::Size: {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%7u", static_cast<std::uint32_t>(e.file_size));
        return buf;
    }
    case Column::Percent: return format_percent_column(e);
    case Column::Title: return format_title_column(e);
    case Column::Keywords: return piece(e.keywords, 29);
    }
    return {};
}

RowColour DirectoryModel::row_colour(std::size_t index) const
{
    if (index >= state_->display.size())
        return RowColour::Black;
    return dirview::row_colour(*state_->display[index], state_->config.callsign);
}

std::optional<std::size_t> DirectoryModel::row_of(std::uint32_t file_number) const
{
    const auto& d = state_->display;
    for (std::size_t i = 0; i < d.size(); ++i)
        if (d[i]->file_number == file_number)
            return i;
    return std::nullopt;
}

std::size_t DirectoryModel::entry_count() const { return state_->entries.size(); }
const DirectoryEntry* DirectoryModel::find(std::uint32_t file_number) const { return state_->find(file_number); }

std::uint8_t DirectoryModel::status_of(std::uint32_t file_number) const { return state_->status_of(file_number); }
void DirectoryModel::set_mark_never(bool on) { state_->config.mark_never = on; }

bool DirectoryModel::has_status_table() const { return state_->table.has_value(); }

bool DirectoryModel::set_status(std::uint32_t file_number, int code)
{
    if (!state_->table)
        return false;
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(clock_.now().time_since_epoch()).count();
    return state_->table->set_status(file_number, code, static_cast<std::uint32_t>(now));
}

bool DirectoryModel::mark(std::size_t row, int code)
{
    State& s = *state_;
    if (row >= s.display.size() || !s.table)
        return false;
    const std::uint32_t n = s.display[row]->file_number;
    const std::uint8_t before = s.status_of(n);
    switch (code) {
    case 10: case 1:
        if (before != 9 && before != 10)
            ++s.counters.marked;
        break;
    case 9: case 8: case 7: case 5: case 6:
        if (before != 8 && before != 10)
            ++s.counters.marked;
        break;
    case 4:
        if (before == 9 || before == 10)
            --s.counters.marked;
        break;
    default: break;
    }
    return set_status(n, code);
}

std::vector<std::size_t> DirectoryModel::poll_percent_changes()
{
    State& s = *state_;
    std::vector<std::size_t> rows;
    if (!s.open)
        return rows;
    const std::vector<std::uint32_t> files = s.read_hole_files();
    for (std::size_t i = 0; i < s.display.size(); ++i)
        if (std::find(files.begin(), files.end(), s.display[i]->file_number) != files.end())
            rows.push_back(i);
    return rows;
}

std::vector<std::size_t> DirectoryModel::poll_status_changes()
{
    State& s = *state_;
    std::vector<std::size_t> changed;
    if (!s.table)
        return changed;
    auto snap = s.table->snapshot();
    s.display_status.resize(s.display.size(), kStatusUnknown);
    for (std::size_t i = 0; i < s.display.size(); ++i) {
        auto it = snap.find(s.display[i]->file_number);
        const std::uint8_t now = it == snap.end() ? kStatusUnknown : it->second;
        if (now != s.display_status[i]) {
            s.display_status[i] = now;
            changed.push_back(i);
        }
    }
    return changed;
}

bool DirectoryModel::mark_message(std::uint32_t file_number)
{
    DirectoryEntry* e = state_->find(file_number);
    if (!e)
        return false;
    e->message = true;
    e->percent = 0;
    return true;
}

bool DirectoryModel::clear_message(std::uint32_t file_number)
{
    DirectoryEntry* e = state_->find(file_number);
    if (!e)
        return false;
    e->message = false;
    if (state_->config.mark_never)
        set_status(file_number, 1);
    return true;
}

InfoText DirectoryModel::info(std::uint32_t file_number) const
{
    const DirectoryEntry* e = state_->find(file_number);
    if (!e)
        return {};
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(clock_.now().time_since_epoch()).count();
    return format_info(*e, static_cast<std::uint32_t>(now));
}

const DirectoryCounters& DirectoryModel::counters() const { return state_->counters; }

std::optional<fs::path> DirectoryModel::entry_path(const DirectoryEntry& e) const
{
    const DirectoryConfig& c = state_->config;
    const SatelliteFolders& f = c.folders;
    const std::string dlm = file_number_name(e.file_number, ".DLM");
    const std::uint8_t t = e.file_type;
    const std::string& name = e.disk_name.empty() ? e.file_name : e.disk_name;
    if (contains(e.destination, c.callsign)) {
        if (t == 1 || t == 2) {
            if (c.process_bbs)
                return std::nullopt;
            return inside(f.my_message, dlm);
        }
        if (t == 0 || t == 8 || t == 9)
            return inside(f.my_message, dlm);
        if (t == 6 || t == 7 || (t >= 12 && t <= 16))
            return inside(f.my_message, name);
        return std::nullopt;
    }
    switch (t) {
    case 0: return inside(f.message, dlm);
    case 1: case 2: {
        auto p = inside(f.bbs, name);
        if (!p)
            return std::nullopt;
        return replace_extension_part(*p, ".IN");
    }
    case 6: case 7: case 12: case 13: return inside(f.binary, name);
    case 8: case 9: return inside(f.keps, dlm);
    case 14: case 15: case 16: return inside(f.image, name);
    default: return inside(f.unknown, name);
    }
}

DeleteResult DirectoryModel::delete_files(std::size_t row)
{
    State& s = *state_;
    DeleteResult result;
    if (row >= s.display.size())
        return result;
    DirectoryEntry& e = *s.display[row];
    char hex[16];
    std::snprintf(hex, sizeof hex, "%x", e.file_number);
    for (const char* ext : {".ACT", ".HOL"})
        if (auto p = find_file_nocase(s.config.folders.satellite, std::string(hex) + ext))
            remove_file(*p, result.deleted);
    if (auto p = entry_path(e)) {
        remove_file(*p, result.deleted);
        remove_file(replace_extension_part(*p, ".PFH"), result.deleted);
    }
    e.percent = 0;
    e.message = false;
    if (s.config.mark_never) {
        mark(row, 1);
        result.marked_never = true;
    }
    return result;
}

void DirectoryModel::search(const SearchFields& fields)
{
    State& s = *state_;
    auto field = [](std::string_view v) {
        while (!v.empty() && v.front() == ' ')
            v.remove_prefix(1);
        return upper(v);
    };
    const std::string to = field(fields.to), from = field(fields.from), title = field(fields.title),
                      keywords = field(fields.keywords), type = field(fields.file_type);
    std::optional<int> file_type;
    if (!type.empty() && std::isdigit(static_cast<unsigned char>(type[0])))
        file_type = std::atoi(type.c_str());
    auto upper_has = [](const std::optional<std::string>& t, const std::string& what) {
        return what.empty() || (t && upper(*t).find(what) != std::string::npos);
    };
    s.display.clear();
    for (const auto& up : s.entries) {
        if (s.display.size() >= s.config.display_limit)
            break;
        const DirectoryEntry& e = *up;
        if (file_type && e.file_type != *file_type)
            continue;
        if (!to.empty() && !contains(e.destination, to))
            continue;
        if (!from.empty() && !contains(e.source, from))
            continue;
        if (!upper_has(e.title, title) || !upper_has(e.keywords, keywords))
            continue;
        s.display.push_back(up.get());
    }
    s.mode.clear();
    s.reset_display_status();
}

std::vector<std::string> DirectoryModel::new_message_arguments() const
{
    return {"S~" + state_->config.satellite};
}

std::vector<std::string> DirectoryModel::reply_arguments(const DirectoryEntry& entry) const
{
    std::vector<std::string> args = {"D~" + argument_text(entry.source), "S~" + state_->config.satellite,
                                     "T~" + argument_text(entry.title)};
    if (entry.file_type == 0)
        if (auto p = entry_path(entry); p && fs::is_regular_file(*p))
            args.push_back("F~" + p->string());
    return args;
}

} // namespace orva::dirview
