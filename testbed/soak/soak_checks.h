// What a soak run checks on the station's disk and in its logs: partial downloads whose hole
// lists must match the data beside them, whole files against the satellite's copies, queued
// messages against what reached the satellite, and the passes helmo started.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace orva::soak {

// The satellite's copy of a file, by number; none when the satellite has no such file.
using OriginalOf = std::function<const std::vector<std::uint8_t>*(std::uint32_t)>;

struct PartialProblem {
    std::string file; // the ".HOL" (or ".DL") it concerns
    std::string problem;
};

// Every hole list of `dir`: readable, in order, beside its ".ACT", no ".DL" of the same number
// beside it, and every byte it counts as received present in the ".ACT" and equal to the
// satellite's copy.
std::vector<PartialProblem> check_partials(const std::filesystem::path& dir, const OriginalOf& original);

struct WholeFile {
    std::filesystem::path path;
    std::uint32_t number = 0;
    std::uint64_t size = 0;
    std::string sha256;
};

// Whole PACSAT files under a folder (downloads, their filed copies), found by their headers
// and remembered between scans so each is read once; partial downloads (".ACT") are not.
class WholeFileScanner {
public:
    // The files that are new or changed since the last scan. Only sizes in `sizes` (by file
    // number) are read: a file of another size is not one of the satellite's.
    std::vector<WholeFile> scan(const std::filesystem::path& dir, const std::map<std::uint32_t, std::uint64_t>& sizes);

private:
    std::map<std::filesystem::path, std::pair<std::uint64_t, std::int64_t>> seen_; // size, mtime
};

// A filed upload ("%X.UPL" on the satellite) is the queued message when its body is the same
// and its header differs at most in the file number and checksum.
bool is_upload_of(const std::vector<std::uint8_t>& queued, const std::vector<std::uint8_t>& filed);

struct PassStart {
    std::int64_t logged = 0; // station time of the line
    std::string satellite;
    std::int64_t aos = 0;
};

// helmo's "dispatcher: start pass of NAME (AOS dd/mm/yy hh:mm:ss, ..." lines.
std::vector<PassStart> parse_pass_starts(const std::string& log);

struct PassEnd {
    std::int64_t logged = 0;
    std::string satellite;
};
// helmo's "dispatcher: end pass of NAME" lines: the station ended the pass.
std::vector<PassEnd> parse_pass_ends(const std::string& log);

struct DispoError {
    std::string satellite;
    std::uint32_t number = 0;
    std::string message;
};
// "Dispo Error Log.TXT": "% -12s %8lX  %s" lines.
std::vector<DispoError> parse_dispo_errors(const std::string& text);

// Bytes of every regular file under `dir`.
std::uint64_t folder_bytes(const std::filesystem::path& dir);

} // namespace orva::soak
