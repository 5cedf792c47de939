#include "dirview/view_equations.h"

#include <cctype>
#include <fstream>
#include <sstream>

namespace orva::dirview {
namespace {

constexpr std::size_t kMaxQuoted = 45;
constexpr std::size_t kMaxBare = 40;

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

struct Failure {
    std::string reason;
    bool no_brackets = false;
};

// Parses one upper-cased expression (without its braces) into terms.
class ExpressionParser {
public:
    explicit ExpressionParser(std::string_view text) : s_(text) {}

    std::optional<Failure> parse(std::vector<ViewTerm>& out)
    {
        if (auto f = parse_list(out, 0))
            return f;
        skip_space();
        if (pos_ != s_.size())
            return Failure{"unexpected \"" + std::string(1, s_[pos_]) + "\"", s_[pos_] == ')'};
        return std::nullopt;
    }

private:
    void skip_space()
    {
        while (pos_ < s_.size() && is_space(s_[pos_]))
            ++pos_;
    }
    bool at_end() const { return pos_ >= s_.size(); }

    std::optional<Failure> parse_list(std::vector<ViewTerm>& out, int depth)
    {
        for (;;) {
            skip_space();
            if (at_end())
                return Failure{out.empty() ? "no term" : "a term is missing after the last connector"};
            ViewTerm term;
            if (s_[pos_] == '(') {
                ++pos_;
                term.field = ViewField::Group;
                if (auto f = parse_list(term.group, depth + 1))
                    return f;
                skip_space();
                if (at_end() || s_[pos_] != ')')
                    return Failure{"\"(\" without \")\"", true};
                ++pos_;
            } else if (s_[pos_] == ')') {
                return Failure{"\")\" without \"(\"", true};
            } else if (auto f = parse_term(term)) {
                return f;
            }
            skip_space();
            out.push_back(std::move(term));
            if (at_end())
                return std::nullopt;
            const char c = s_[pos_];
            if (c == '&' || c == '|') {
                out.back().or_next = c == '|';
                ++pos_;
                continue;
            }
            if (c == ')') {
                if (depth == 0)
                    return Failure{"\")\" without \"(\"", true};
                return std::nullopt;
            }
            return Failure{"\"&\" or \"|\" expected, found \"" + std::string(1, c) + "\""};
        }
    }

    std::optional<Failure> parse_term(ViewTerm& term)
    {
        const std::size_t start = pos_;
        while (pos_ < s_.size() && (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_'))
            ++pos_;
        const std::string word(s_.substr(start, pos_ - start));
        if (word.empty())
            return Failure{"term word expected, found \"" + std::string(1, s_[pos_]) + "\""};
        static constexpr struct {
            const char* word;
            ViewField field;
        } words[] = {{"FILESIZE", ViewField::FileSize}, {"STATUS", ViewField::Status},
                     {"SOURCE", ViewField::Source},     {"DESTINATION", ViewField::Destination},
                     {"FILETYPE", ViewField::FileType}, {"TITLE", ViewField::Title},
                     {"KEYWORDS", ViewField::Keywords}, {"PERCENT", ViewField::Percent}};
        bool known = false;
        for (const auto& w : words)
            if (word == w.word) {
                term.field = w.field;
                known = true;
            }
        if (!known)
            return Failure{"unknown term word \"" + word + "\""};
        if (at_end() || !is_space(s_[pos_]))
            return Failure{"blank expected after " + word};
        skip_space();
        if (at_end())
            return Failure{"operator expected after " + word};
        if (s_[pos_] == '=') {
            term.op = ViewOp::Eq;
            ++pos_;
        } else if (s_[pos_] == '>') {
            term.op = ViewOp::Gt;
            ++pos_;
        } else if (s_[pos_] == '<') {
            term.op = ViewOp::Lt;
            ++pos_;
        } else if (s_[pos_] == '!') {
            ++pos_;
            skip_space();
            if (at_end() || s_[pos_] != '=')
                return Failure{"\"!\" without \"=\""};
            term.op = ViewOp::Ne;
            ++pos_;
        } else {
            return Failure{"operator expected after " + word};
        }
        skip_space();
        if (at_end())
            return Failure{"value expected after the operator"};
        if (s_[pos_] == '=' || s_[pos_] == '<' || s_[pos_] == '>' || s_[pos_] == '!')
            return Failure{"a second operator"};

        const bool text_term = term.field == ViewField::Source || term.field == ViewField::Destination ||
                               term.field == ViewField::Title || term.field == ViewField::Keywords;
        std::string value;
        if (s_[pos_] == '"') {
            if (!text_term)
                return Failure{"quotes are only for SOURCE, DESTINATION, TITLE and KEYWORDS"};
            const std::size_t close = s_.find('"', pos_ + 1);
            if (close == std::string_view::npos)
                return Failure{"a quote is not closed"};
            value = std::string(s_.substr(pos_ + 1, std::min(close - pos_ - 1, kMaxQuoted)));
            pos_ = close + 1;
        } else {
            const std::size_t vstart = pos_;
            while (pos_ < s_.size() && !is_space(s_[pos_]) && s_[pos_] != ')')
                ++pos_;
            value = std::string(s_.substr(vstart, std::min(pos_ - vstart, kMaxBare)));
            if (value.find('"') != std::string::npos)
                return Failure{"a quote inside a value"};
            // A bare value runs to a blank, so "X}" or "X&" would have swallowed the connector.
            if (at_end() && !value.empty())
                return Failure{"blank expected after the value \"" + value + "\""};
        }
        if (text_term) {
            if (value.empty())
                return Failure{"empty text"};
            term.text = value;
            return std::nullopt;
        }
        if (term.field == ViewField::Status) {
            auto code = status_word_code(value);
            if (!code)
                return Failure{"unknown status word \"" + value + "\""};
            term.number = *code;
            return std::nullopt;
        }
        std::int64_t n = 0;
        for (char c : value) {
            if (!std::isdigit(static_cast<unsigned char>(c)))
                return Failure{"\"" + value + "\" is not a number"};
            n = n * 10 + (c - '0');
            if (n > 0xFFFFFFFFll)
                return Failure{"\"" + value + "\" is too large"};
        }
        if (term.field == ViewField::FileSize && n == 0)
            return Failure{"FILESIZE must not be 0"};
        if (term.field == ViewField::Percent && n > 100)
            return Failure{"PERCENT above 100"};
        term.number = n;
        return std::nullopt;
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

std::string upper(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}


std::string line_text(std::string_view text, std::size_t pos)
{
    const std::size_t nl = pos == 0 ? std::string_view::npos : text.rfind('\n', pos - 1);
    const std::size_t begin = nl == std::string_view::npos ? 0 : nl + 1;
    const std::size_t end = text.find('\n', pos);
    std::string line(text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

bool compare(std::int64_t a, ViewOp op, std::int64_t b)
{
    switch (op) {
    case ViewOp::Eq: return a == b;
    case ViewOp::Ne: return a != b;
    case ViewOp::Gt: return a > b;
    case ViewOp::Lt: return a < b;
    }
    return false;
}

bool text_test(const std::optional<std::string>& text, bool upper_case, ViewOp op, const std::string& what)
{
    bool has = false;
    if (text)
        has = (upper_case ? upper(std::string_view(*text)) : *text).find(what) != std::string::npos;
    return op == ViewOp::Ne ? !has : has;
}

bool term_value(const ViewTerm& t, const ViewFacts& f)
{
    const DirectoryEntry& e = *f.entry;
    switch (t.field) {
    case ViewField::FileSize: return compare(static_cast<std::uint32_t>(e.file_size), t.op, t.number);
    case ViewField::Status: return compare(f.status & 0x0F, t.op, t.number);
    case ViewField::Source: return text_test(e.source, false, t.op, t.text);
    case ViewField::Destination: return text_test(e.destination, false, t.op, t.text);
    case ViewField::FileType: return compare(e.file_type, t.op, t.number);
    case ViewField::Title: return text_test(e.title, true, t.op, t.text);
    case ViewField::Keywords: return text_test(e.keywords, true, t.op, t.text);
    case ViewField::Percent: return compare(e.percent, t.op, t.number);
    case ViewField::Group: return evaluate(t.group, f);
    }
    return false;
}

} // namespace

std::optional<int> status_word_code(std::string_view word)
{
    static constexpr const char* words[] = {"NEVER", "ERROR", "DOWNLOADED", "GRAB",     "AUTO3", "INCREMENTAL",
                                            "AUTO2", "AUTO1", "AUTO",       "PRIORITY", "MINE"};
    for (int i = 0; i < 11; ++i)
        if (word == words[i])
            return i + 1;
    return std::nullopt;
}

bool evaluate(const std::vector<ViewTerm>& terms, const ViewFacts& facts)
{
    if (terms.empty() || facts.entry == nullptr)
        return false;
    bool result = term_value(terms[0], facts);
    for (std::size_t i = 1; i < terms.size(); ++i) {
        const bool v = term_value(terms[i], facts);
        result = terms[i - 1].or_next ? (result || v) : (result && v);
    }
    return result;
}

ViewEquations ViewEquations::parse(std::string_view text)
{
    ViewEquations out;
    std::optional<std::string> name;
    std::size_t line = 1;
    std::size_t i = 0;
    auto count_lines = [&](std::size_t from, std::size_t to) {
        for (std::size_t k = from; k < to && k < text.size(); ++k)
            if (text[k] == '\n')
                ++line;
    };
    while (i < text.size()) {
        const char c = text[i];
        if (c == '[') {
            const std::size_t close = text.find(']', i + 1);
            const std::size_t end = close == std::string_view::npos ? text.size() : close;
            name = std::string(text.substr(i + 1, std::min(end - i - 1, kMaxEquationName)));
            count_lines(i, end);
            i = end == text.size() ? end : end + 1;
            continue;
        }
        if (c == '{') {
            // The expression ends at the first "}" outside quotes.
            std::size_t k = i + 1;
            bool quoted = false;
            while (k < text.size() && (quoted || text[k] != '}')) {
                if (text[k] == '"')
                    quoted = !quoted;
                ++k;
            }
            const std::size_t start_line = line;
            const std::string expression = upper(text.substr(i + 1, k - i - 1));
            const std::string where = line_text(text, i);
            count_lines(i, k);
            const bool closed = k < text.size();
            i = closed ? k + 1 : k;
            if (!name)
                continue; // a "{" with no name before it
            std::string this_name = std::move(*name);
            name.reset();
            if (out.equations.size() >= kMaxEquations)
                continue;
            ViewEquation eq{this_name, {}};
            std::optional<Failure> failure;
            if (!closed)
                failure = Failure{"\"{\" without \"}\""};
            else
                failure = ExpressionParser(expression).parse(eq.terms);
            if (failure)
                out.faults.push_back({this_name, int(start_line), where, failure->reason, failure->no_brackets});
            else
                out.equations.push_back(std::move(eq));
            continue;
        }
        if (c == '\n')
            ++line;
        ++i;
    }
    return out;
}

ViewEquations ViewEquations::load(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream buf;
    buf << in.rdbuf();
    if (in.bad())
        return {};
    return parse(buf.str());
}

const ViewEquation* ViewEquations::find(std::string_view name) const
{
    for (const auto& e : equations)
        if (e.name == name)
            return &e;
    return nullptr;
}

} // namespace orva::dirview
