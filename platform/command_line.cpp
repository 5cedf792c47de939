#include "platform/command_line.h"

namespace orva::platform {

Result<std::string> substitute_satellite_name(std::string_view program_text, std::string_view name,
                                              std::size_t max_length)
{
    std::string out;
    out.reserve(program_text.size() + name.size());
    for (std::size_t i = 0; i < program_text.size(); ++i) {
        char c = program_text[i];
        if (c == '%' && i + 1 < program_text.size() && (program_text[i + 1] == 'S' || program_text[i + 1] == 's')) {
            out += name;
            ++i;
        } else {
            out += c;
        }
    }
    if (out.size() > max_length)
        return make_error("the program text for " + std::string(name) + " is " + std::to_string(out.size()) +
                          " characters with the name filled in; at most " + std::to_string(max_length) + " fit");
    return out;
}

namespace {
bool is_blank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
} // namespace

Result<std::vector<std::string>> split_command_line(std::string_view text)
{
    std::vector<std::string> words;
    std::string word;
    bool in_word = false, quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quoted) {
            if (c == '\\' && i + 1 < text.size() && text[i + 1] == '"') {
                word += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                word += c;
            }
        } else if (c == '"') {
            quoted = in_word = true;
        } else if (is_blank(c)) {
            if (in_word)
                words.push_back(std::move(word));
            word.clear();
            in_word = false;
        } else {
            word += c;
            in_word = true;
        }
    }
    if (quoted)
        return make_error("unclosed quote in the command \"" + std::string(text) + "\"");
    if (in_word)
        words.push_back(std::move(word));
    if (words.empty())
        return make_error("the command is empty");
    return words;
}

std::string quote_argument(std::string_view word)
{
    if (word.empty())
        return "\"\"";
    // Only the troublesome characters are quoted, one by one, so a backslash before a closing
    // quote can never swallow it ("my dir\" becomes my" "dir\).
    std::string out;
    for (char c : word) {
        if (c == '"')
            out += "\"\\\"\"";
        else if (is_blank(c))
            out += std::string("\"") + c + '"';
        else
            out += c;
    }
    return out;
}

} // namespace orva::platform
