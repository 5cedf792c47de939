// The viewer's own selection equations, "Tessel Equations.TXT": any number (up to 20) of named
// expressions "[Name] {TERM op value & ...}" that become list modes. A bad equation is lost on
// its own; the others load.
#pragma once

#include "dirview/directory_entry.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orva::dirview {

inline constexpr std::size_t kMaxEquations = 20;
inline constexpr std::size_t kMaxEquationName = 40;
inline constexpr const char* kEquationsFileName = "Tessel Equations.TXT";

enum class ViewField : std::uint8_t { FileSize, Status, Source, Destination, FileType, Title, Keywords, Percent, Group };
enum class ViewOp : std::uint8_t { Eq, Ne, Gt, Lt };

struct ViewTerm {
    ViewField field = ViewField::FileSize;
    ViewOp op = ViewOp::Eq;
    std::int64_t number = 0; // numbers, and the status code for STATUS
    std::string text;        // upper case
    std::vector<ViewTerm> group;
    bool or_next = false;    // connector to the following term: "|" (else "&")
};

struct ViewEquation {
    std::string name; // as written, blanks kept
    std::vector<ViewTerm> terms;
};

// A discarded equation, for the operator.
struct EquationFault {
    std::string name;
    int line = 0;        // 1-based line where its expression starts
    std::string text;    // that line, as written
    std::string reason;  // "unknown term word \"SIZE\"", ...
    bool no_brackets = false; // an unbalanced ")": the window shows "No brackets" as its title
};

struct ViewEquations {
    std::vector<ViewEquation> equations; // in file order, at most 20
    std::vector<EquationFault> faults;

    static ViewEquations parse(std::string_view text);
    // Missing or unreadable: no equations and no faults.
    static ViewEquations load(const std::filesystem::path& file);

    const ViewEquation* find(std::string_view name) const;
};

// The facts about one entry that equations test.
struct ViewFacts {
    const DirectoryEntry* entry = nullptr;
    std::uint8_t status = 4; // the status byte
};

bool evaluate(const std::vector<ViewTerm>& terms, const ViewFacts& facts);

// The status word's code ("NEVER" 1 ... "MINE" 11), none for other words.
std::optional<int> status_word_code(std::string_view word);

} // namespace orva::dirview
