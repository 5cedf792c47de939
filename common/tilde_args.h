// Tilde arguments: the command line of the mail processor, the element updater and the message
// composer, a sequence of pairs "S~AO-16 F~*.DL" (a letter, "~", a value).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

struct TildeArg {
    char letter; // upper case
    std::string value;
};

class TildeArgs {
public:
    // From one command text: pairs separated by blanks or line feeds.
    static TildeArgs parse(std::string_view text);
    // From an argument vector: each element that starts with "X~" begins a pair and keeps its
    // blanks; an element without one continues the previous value (a path split by a shell).
    static TildeArgs parse(std::span<const std::string> args);
    static TildeArgs parse(int argc, char** argv); // skips argv[0]

    // The first value given for the letter, any case.
    std::optional<std::string> get(char letter) const;
    const std::vector<TildeArg>& all() const { return args_; }
    // Words that were not part of any pair.
    const std::vector<std::string>& stray() const { return stray_; }

private:
    void add_word(std::string_view word, bool joins_with_blank);
    std::vector<TildeArg> args_;
    std::vector<std::string> stray_;
};

} // namespace orva
