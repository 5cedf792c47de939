// The download selection equations of "Brek Equations.TXT": named boolean equations over the
// fields of a file's PACSAT header. The first of PRIORITY, AUTO, AUTO1, AUTO2, INCREMENTAL, AUTO3,
// NEVER that matches gives a new directory entry its download status.
#pragma once

#include "common/pfh/pfh.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orva::engine {

// In the order they are tried.
enum class EquationName : std::uint8_t { Priority, Auto, Auto1, Auto2, Incremental, Auto3, Never };
inline constexpr std::size_t kEquationCount = 7;

std::string_view canonical_name(EquationName name);
int status_code(EquationName name); // 10, 9, 8, 7, 6, 5, 1
inline constexpr int kStatusGrab = 4; // no equation matched

enum class Field : std::uint8_t {
    FileSize = 0, Source = 1, Destination = 2, FileType = 3, Title = 4, Keywords = 5, FileName = 6,
    CreateTime = 7, UploadTime = 8, Group = 9,
};
enum class Op : std::uint8_t { Eq = 1, Gt = 2, Lt = 3, Ne = 4 };
enum class Connector : std::uint8_t { And, Or };

struct Term {
    Field field = Field::FileSize;
    Op op = Op::Eq;
    std::int64_t number = 0; // integer value, or days from TODAY
    std::string text;        // upper case
    std::vector<Term> group; // Field::Group
    Connector next = Connector::And; // connector to the following term
};

// The header fields the equations read.
struct EquationEntry {
    std::optional<std::uint32_t> file_size;
    std::optional<std::uint8_t> file_type;
    std::optional<std::uint32_t> create_time;
    std::optional<std::uint32_t> upload_time;
    std::optional<std::string> source, destination, title, keywords, file_name;

    static EquationEntry from_header(const pfh::PfhHeader& header);
};

// What loading reports: the system's text for the status list, and where and why.
struct EquationMessage {
    std::string text; // "Error while reading equation AUTO", ...
    int line = 0;     // 1-based line of the fault; 0 for messages about the file itself
    std::string detail;
    bool error = true; // red in the status list
};

class EquationSet {
public:
    // Parses a whole equation file. A fault loses only the equation it is in.
    static EquationSet parse(std::string_view file, std::vector<EquationMessage>& messages);

    bool defined(EquationName name) const { return equations_[std::size_t(name)].has_value(); }
    const std::vector<Term>* terms(EquationName name) const;

    // An undefined equation never matches. `now` fixes TODAY (00:00 UTC of its day).
    bool match(EquationName name, const EquationEntry& entry, std::chrono::sys_seconds now) const;
    // Status code of the first equation that matches, kStatusGrab when none does.
    int choose_status(const EquationEntry& entry, std::chrono::sys_seconds now) const;

private:
    std::array<std::optional<std::vector<Term>>, kEquationCount> equations_;
};

// Matches a bracketed name by prefix, ignoring case: AUTO1, AUTO2, AUTO3, INCREMENTAL, AUTO,
// PRIORITY, NEVER.
std::optional<EquationName> equation_name_from(std::string_view text);

} // namespace orva::engine
