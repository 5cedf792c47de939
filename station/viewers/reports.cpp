#include "station/viewers/reports.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/atomic_file.h"
#include "common/file_names.h"

namespace orva::station {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> log_lines(std::string_view log)
{
    std::vector<std::string> out;
    std::size_t pos = 0;
    while (pos < log.size()) {
        std::size_t nl = log.find('\n', pos);
        std::string line(log.substr(pos, nl == std::string_view::npos ? std::string_view::npos : nl - pos));
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > 98) // the viewer reads at most 98 characters of a line
            line.resize(98);
        out.push_back(std::move(line));
        if (nl == std::string_view::npos)
            break;
        pos = nl + 1;
    }
    return out;
}

// Columns `first` to `last`, 1-based, padded with blanks where the line is shorter.
std::string columns(const std::string& line, std::size_t first, std::size_t last)
{
    std::string out = first <= line.size() ? line.substr(first - 1, last - first + 1) : std::string();
    out.resize(last - first + 1, ' ');
    return out;
}

std::string from_column(const std::string& line, std::size_t first)
{
    return first <= line.size() ? line.substr(first - 1) : std::string();
}

bool has(const std::string& line, const char* word) { return line.find(word) != std::string::npos; }

// Walks the sessions: `on_session` gets the start line, the efficiency line, the upload lines
// and the closing line of every session that closes.
template <class OnSession>
void walk_sessions(const std::vector<std::string>& lines, bool& uploads_seen, OnSession on_session)
{
    std::size_t i = 0;
    while (i < lines.size()) {
        if (!has(lines[i], "Session started")) {
            ++i;
            continue;
        }
        const std::string& started = lines[i];
        if (i + 3 >= lines.size() || !has(lines[i + 1], "TOTAL") || !has(lines[i + 2], "BPS") ||
            !has(lines[i + 3], "EFFICIENCY")) {
            ++i;
            continue;
        }
        const std::string &total = lines[i + 1], &bps = lines[i + 2], &eff = lines[i + 3];
        i += 4;
        std::vector<std::string> uploads;
        if (i < lines.size() && has(lines[i], "Uploads Made")) {
            uploads_seen = true;
            for (++i; i < lines.size() && !has(lines[i], "Session closed"); ++i)
                uploads.push_back(lines[i]);
        }
        if (i < lines.size() && has(lines[i], "Session closed")) {
            on_session(started, total, bps, eff, uploads, lines[i]);
            ++i;
        }
    }
}

} // namespace

SessionReport session_report(std::string_view log)
{
    SessionReport r;
    std::int64_t sum = 0, counted = 0;
    walk_sessions(log_lines(log), r.uploads_seen,
                  [&](const std::string& started, const std::string& total, const std::string& bps, const std::string& eff,
                      const std::vector<std::string>&, const std::string& closed) {
                      long e = std::atol(from_column(eff, 22).c_str());
                      if (e != 0) {
                          sum += e;
                          ++counted;
                      }
                      r.rows.push_back(columns(started, 29, 39) + "  " + columns(started, 20, 27) + "  " +
                                       columns(closed, 19, 26) + "  " + columns(total, 22, 29) + "  " +
                                       columns(bps, 22, 26) + "  " + columns(eff, 22, 24));
                  });
    if (counted)
        r.average_efficiency = sum / counted;
    return r;
}

UploadReport upload_report(std::string_view log)
{
    UploadReport r;
    bool seen = false;
    std::int64_t speeds = 0;
    walk_sessions(log_lines(log), seen,
                  [&](const std::string&, const std::string&, const std::string&, const std::string&,
                      const std::vector<std::string>& uploads, const std::string&) {
                      for (const auto& u : uploads) {
                          std::string row = " " + columns(u, 5, 17) + columns(u, 19, 25) + columns(u, 40, 45);
                          row.resize(32, ' ');
                          std::string rest = from_column(u, 66);
                          row += rest;
                          r.rows.push_back(row);
                          speeds += std::atol(rest.c_str());
                          ++r.count;
                      }
                  });
    if (r.count)
        r.average_speed = speeds / r.count;
    return r;
}

HeaderSummary header_summary(std::span<const std::uint8_t> bytes)
{
    HeaderSummary s;
    if (bytes.size() < 2 || bytes[0] != 0xAA || bytes[1] != 0x55)
        return s;
    std::size_t pos = 2;
    while (pos + 3 <= bytes.size()) {
        unsigned id = bytes[pos] | bytes[pos + 1] << 8;
        std::size_t len = bytes[pos + 2];
        pos += 3;
        if (id == 0 && len == 0)
            break;
        if (pos + len > bytes.size())
            break;
        std::string data(reinterpret_cast<const char*>(bytes.data() + pos), len);
        if (auto nul = data.find('\0'); nul != std::string::npos)
            data.resize(nul);
        if (id == 20)
            s.destination = data.substr(0, 11);
        if (id == 34)
            s.title = data.substr(0, 29);
        pos += len;
    }
    return s;
}

std::string UploadFile::row() const
{
    char buf[128];
    std::snprintf(buf, sizeof buf, "%-14s  %-11s  %s", path.filename().string().c_str(), summary.destination.c_str(),
                  summary.title.c_str());
    return buf;
}

std::vector<UploadFile> upload_files(const fs::path& satellite_directory)
{
    std::vector<UploadFile> out;
    std::error_code ec;
    fs::directory_iterator it(satellite_directory, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string ext = it->path().extension().string();
        for (char& c : ext)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (ext != ".OUT" && ext != ".PUL" && ext != ".PNL" && ext != ".ULX" && ext != ".UL")
            continue;
        std::error_code ec2;
        if (!it->is_regular_file(ec2))
            continue;
        UploadFile f{it->path(), {}};
        // The header is at the front; a few hundred bytes hold it.
        std::ifstream in(it->path(), std::ios::binary);
        std::vector<std::uint8_t> head(1024);
        in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
        head.resize(static_cast<std::size_t>(in.gcount()));
        f.summary = header_summary(head);
        out.push_back(std::move(f));
    }
    std::sort(out.begin(), out.end(), [](const UploadFile& a, const UploadFile& b) { return a.path < b.path; });
    return out;
}

Status copy_upload_file(const fs::path& file, const fs::path& destination_directory)
{
    std::error_code ec;
    if (!fs::is_regular_file(file, ec))
        return make_error("Can't find source file.");
    std::string base = file.stem().string();
    if (base.size() > 8)
        return make_error("The file name \"" + base + "\" is longer than 8 characters, so it cannot be queued as \"" +
                          base + ".OUT\" on another satellite.  Nothing was copied.");
    auto bytes = read_file(file);
    if (!bytes)
        return make_error("Can't find source file.");
    if (destination_directory.empty() || !fs::is_directory(destination_directory, ec))
        return make_error("Can't open destination file.");
    if (Status s = write_file_atomic(destination_directory / (base + ".OUT"), *bytes); !s)
        return make_error("Can't open destination file.");
    return {};
}

Result<std::vector<std::string>> dispo_error_lines(const fs::path& suite_directory)
{
    auto file = find_file_nocase(suite_directory, "Dispo Error Log.TXT");
    if (!file)
        return make_error(kNoDispoErrors);
    auto bytes = read_file(*file);
    if (!bytes)
        return make_error(kNoDispoErrors);
    std::vector<std::string> out;
    for (auto& line : log_lines(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()))) {
        if (line.size() > 79)
            line.resize(79);
        out.push_back(line);
    }
    if (!out.empty() && out.back().empty())
        out.pop_back();
    return out;
}

} // namespace orva::station
