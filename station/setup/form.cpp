#include "station/setup/form.h"

#include <cctype>
#include <charconv>
#include <cstdlib>

namespace orva::station::setup {

bool same_text_ignoring_case(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::optional<bool> parse_flag(std::string_view text)
{
    for (const char* t : {"1", "yes", "on", "true"})
        if (same_text_ignoring_case(text, t))
            return true;
    for (const char* t : {"0", "no", "off", "false"})
        if (same_text_ignoring_case(text, t))
            return false;
    return std::nullopt;
}

std::optional<std::size_t> choice_index(const std::vector<std::string>& choices, std::string_view text)
{
    for (std::size_t i = 0; i < choices.size(); ++i)
        if (same_text_ignoring_case(choices[i], text))
            return i;
    return std::nullopt;
}

std::uint32_t digits_value(std::string_view text)
{
    std::uint32_t v = 0;
    auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || p != text.data() + text.size())
        return 0;
    return v;
}

double decimal_value(std::string_view text)
{
    std::string t(text);
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    return end == t.c_str() ? 0.0 : v;
}

Status check_text(const char* label, Input input, int limit, const std::vector<std::string>& choices,
                  std::string_view text)
{
    std::string name = std::string("\"") + label + "\"";
    switch (input) {
    case Input::Text:
        if (limit > 0 && text.size() > static_cast<std::size_t>(limit))
            return make_error(name + " takes at most " + std::to_string(limit) + " characters");
        return {};
    case Input::Digits:
        if (text.size() > static_cast<std::size_t>(limit))
            return make_error(name + " takes at most " + std::to_string(limit) + " digits");
        for (char c : text)
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return make_error(name + " takes digits only");
        return {};
    case Input::Decimal: {
        if (limit > 0 && text.size() > static_cast<std::size_t>(limit))
            return make_error(name + " takes at most " + std::to_string(limit) + " characters");
        std::string t(text);
        char* end = nullptr;
        std::strtod(t.c_str(), &end);
        if (!t.empty() && (end == t.c_str() || *end != '\0'))
            return make_error(name + " must be a number");
        return {};
    }
    case Input::Flag:
        if (!parse_flag(text))
            return make_error(name + " is a check box: give 1 or 0");
        return {};
    case Input::Choice:
        if (!choice_index(choices, text)) {
            std::string list;
            for (const auto& c : choices)
                list += (list.empty() ? "" : ", ") + ("\"" + c + "\"");
            return make_error(name + " must be one of " + list);
        }
        return {};
    }
    return {};
}

Result<std::pair<std::string, std::string>> split_assignment(std::string_view arg)
{
    auto eq = arg.find('=');
    if (eq == std::string_view::npos || eq == 0)
        return make_error("\"" + std::string(arg) + "\" is not FIELD=VALUE");
    return std::pair{std::string(arg.substr(0, eq)), std::string(arg.substr(eq + 1))};
}

} // namespace orva::station::setup
