#include "engine/select/equation_loader.h"

#include <cctype>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>

namespace orva::engine {
namespace {

constexpr const char* kFileName = "Brek Equations.TXT";

std::string lower(std::string s) {
    for (auto& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The name as written, or any spelling of it in another case.
std::optional<std::filesystem::path> find_nocase(const std::filesystem::path& dir, const std::string& name) {
    std::error_code ec;
    if (dir.empty()) return std::nullopt;
    const auto exact = dir / name;
    if (std::filesystem::is_regular_file(exact, ec)) return exact;
    const auto want = lower(name);
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (lower(it->path().filename().string()) == want && it->is_regular_file(ec)) return it->path();
    return std::nullopt;
}

} // namespace

LoadedEquations load_equations(const std::filesystem::path& satellite_dir, const std::filesystem::path& suite_dir) {
    LoadedEquations out;
    auto path = find_nocase(satellite_dir, kFileName);
    if (!path) {
        path = find_nocase(suite_dir, kFileName);
        if (path) out.messages.push_back({"Using your default equations", 0, path->string(), false});
    }
    if (!path) {
        out.messages.push_back({"No Equation file found (Brek Equations.TXT)", 0, {}, true});
        return out;
    }
    std::ifstream in(*path, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    out.file = *path;
    out.set = EquationSet::parse(text, out.messages);
    return out;
}

} // namespace orva::engine
