// Lines of an element text as the readers see them: a carriage return ends a line's text, and a
// line longer than 99 characters is read as several.
#pragma once

#include <string_view>

namespace orva::station::detail {

class TextLines {
public:
    explicit TextLines(std::string_view text) : text_(text) {}

    bool next(std::string_view& line)
    {
        if (at_ >= text_.size())
            return false;
        std::size_t end = text_.find('\n', at_);
        std::size_t stop = end == std::string_view::npos ? text_.size() : end;
        if (stop - at_ > kPiece) {
            line = cut(text_.substr(at_, kPiece));
            at_ += kPiece;
            return true;
        }
        line = cut(text_.substr(at_, stop - at_));
        at_ = end == std::string_view::npos ? text_.size() : end + 1;
        return true;
    }

private:
    static constexpr std::size_t kPiece = 99;
    static std::string_view cut(std::string_view s)
    {
        std::size_t cr = s.find('\r');
        return cr == std::string_view::npos ? s : s.substr(0, cr);
    }
    std::string_view text_;
    std::size_t at_ = 0;
};

} // namespace orva::station::detail
