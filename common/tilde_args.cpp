#include "common/tilde_args.h"

namespace orva {

namespace {

bool starts_pair(std::string_view word)
{
    if (word.size() < 2 || word[1] != '~')
        return false;
    char c = word[0];
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

} // namespace

void TildeArgs::add_word(std::string_view word, bool joins_with_blank)
{
    if (starts_pair(word)) {
        args_.push_back(TildeArg{upper(word[0]), std::string(word.substr(2))});
    } else if (joins_with_blank && !args_.empty()) {
        if (!args_.back().value.empty())
            args_.back().value += ' ';
        args_.back().value += word;
    } else {
        stray_.emplace_back(word);
    }
}

TildeArgs TildeArgs::parse(std::string_view text)
{
    TildeArgs out;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\n' || text[i] == '\r' || text[i] == '\t'))
            ++i;
        std::size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\n' && text[i] != '\r' && text[i] != '\t')
            ++i;
        if (i > start)
            out.add_word(text.substr(start, i - start), false);
    }
    return out;
}

TildeArgs TildeArgs::parse(std::span<const std::string> args)
{
    TildeArgs out;
    for (const auto& a : args) {
        // A value may end in a line feed when the caller built the text with one.
        std::string_view word(a);
        while (!word.empty() && (word.back() == '\n' || word.back() == '\r'))
            word.remove_suffix(1);
        if (!word.empty())
            out.add_word(word, true);
    }
    return out;
}

TildeArgs TildeArgs::parse(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    return parse(std::span<const std::string>(args));
}

std::optional<std::string> TildeArgs::get(char letter) const
{
    letter = upper(letter);
    for (const auto& a : args_)
        if (a.letter == letter)
            return a.value;
    return std::nullopt;
}

} // namespace orva
