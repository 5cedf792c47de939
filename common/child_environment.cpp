#include "common/child_environment.h"

#include <string_view>

extern char** environ;

namespace orva {

namespace {

// "NAME=" of "NAME=value"; the whole text when it has no "=".
std::string_view name_of(std::string_view variable) { return variable.substr(0, variable.find('=') + 1); }

} // namespace

std::vector<std::string> environment_with(const std::vector<std::string>& overrides)
{
    std::vector<std::string> out;
    for (char** e = environ; *e; ++e) {
        const std::string_view s = *e;
        bool replaced = false;
        for (const std::string& add : overrides)
            replaced = replaced || name_of(s) == name_of(add);
        if (!replaced)
            out.emplace_back(s);
    }
    out.insert(out.end(), overrides.begin(), overrides.end());
    return out;
}

std::vector<char*> exec_pointers(std::vector<std::string>& strings)
{
    std::vector<char*> out;
    out.reserve(strings.size() + 1);
    for (std::string& s : strings)
        out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

} // namespace orva
