#include "engine/select/equations.h"

#include <algorithm>
#include <cctype>

namespace orva::engine {
namespace {

constexpr std::size_t kMaxName = 40;
constexpr std::size_t kMaxText = 45;
constexpr std::size_t kMaxBare = 40;
constexpr int kMaxDepth = 32; // groups nest freely in principle; the stack does not
constexpr std::int64_t kMaxDays = 100000;
constexpr std::int64_t kDay = 86400;

char upper(char c) { return char(std::toupper(static_cast<unsigned char>(c))); }
bool blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string to_upper(std::string_view s) {
    std::string out(s);
    for (auto& c : out) c = upper(c);
    return out;
}

bool is_text_field(Field f) {
    return f == Field::Source || f == Field::Destination || f == Field::Title || f == Field::Keywords ||
           f == Field::FileName;
}
bool is_time_field(Field f) { return f == Field::CreateTime || f == Field::UploadTime; }

std::optional<Field> field_from(std::string_view word) {
    static constexpr std::pair<std::string_view, Field> kFields[] = {
        {"FILESIZE", Field::FileSize}, {"SOURCE", Field::Source},       {"DESTINATION", Field::Destination},
        {"FILETYPE", Field::FileType}, {"TITLE", Field::Title},         {"KEYWORDS", Field::Keywords},
        {"FILENAME", Field::FileName}, {"CREATETIME", Field::CreateTime}, {"UPLOADTIME", Field::UploadTime},
    };
    for (const auto& [name, f] : kFields)
        if (word == name) return f;
    return std::nullopt;
}

struct SyntaxError {
    int line;
    std::string detail;
};

// Reads one file character by character, tracking lines and skipping comments (a ";" right
// after a line break, to the end of that line).
class Scanner {
public:
    explicit Scanner(std::string_view s) : s_(s) {}

    bool at_end() const { return i_ >= s_.size(); }
    char peek() const { return at_end() ? '\0' : s_[i_]; }
    int line() const { return line_; }
    char get() {
        const char c = s_[i_++];
        if (c == '\n') {
            ++line_;
            line_start_ = true;
        } else {
            line_start_ = false;
        }
        return c;
    }
    void skip_blanks() {
        for (;;) {
            if (at_end()) return;
            if (line_start_ && peek() == ';') {
                while (!at_end() && peek() != '\n') get();
                continue;
            }
            if (!blank(peek())) return;
            get();
        }
    }
    // Up to the next blank, upper-cased.
    std::string word() {
        std::string w;
        while (!at_end() && !blank(peek())) w.push_back(upper(get()));
        return w;
    }
    // Skips to just past the "}" that ends the current block, stepping over quoted texts (which
    // end at the line's end, so one stray quote cannot swallow the rest of the file).
    void skip_block() {
        bool quoted = false;
        while (!at_end()) {
            const char c = get();
            if (c == '"') quoted = !quoted;
            else if (c == '\n') quoted = false;
            else if (c == '}' && !quoted) return;
        }
    }

    struct Mark {
        std::size_t i;
        int line;
        bool line_start;
    };
    Mark mark() const { return {i_, line_, line_start_}; }
    void reset(Mark m) {
        i_ = m.i;
        line_ = m.line;
        line_start_ = m.line_start;
    }

private:
    std::string_view s_;
    std::size_t i_ = 0;
    int line_ = 1;
    bool line_start_ = true;
};

class BodyParser {
public:
    explicit BodyParser(Scanner& sc) : sc_(sc) {}

    // Terms up to and including `close` (")" or "}").
    std::optional<std::vector<Term>> terms(char close, int depth) {
        if (depth > kMaxDepth) return fail("groups nested more than " + std::to_string(kMaxDepth) + " deep");
        std::vector<Term> out;
        for (;;) {
            sc_.skip_blanks();
            if (sc_.at_end()) return fail(std::string("the equation ends without its \"") + close + "\"");
            Term t;
            if (sc_.peek() == '(') {
                sc_.get();
                auto g = terms(')', depth + 1);
                if (!g) return std::nullopt;
                t.field = Field::Group;
                t.group = std::move(*g);
            } else if (!term(t)) {
                return std::nullopt;
            }
            sc_.skip_blanks();
            const char c = sc_.peek();
            if (c == '&' || c == '|') {
                sc_.get();
                t.next = c == '&' ? Connector::And : Connector::Or;
                out.push_back(std::move(t));
                continue;
            }
            if (c == close) {
                sc_.get();
                out.push_back(std::move(t));
                return out;
            }
            if (sc_.at_end()) return fail(std::string("the equation ends without its \"") + close + "\"");
            return fail(std::string("expected \"&\", \"|\" or \"") + close + "\" but found \"" + sc_.word() + "\"");
        }
    }

    std::optional<SyntaxError> error;

private:
    std::nullopt_t fail(std::string detail) {
        if (!error) error = SyntaxError{sc_.line(), std::move(detail)};
        return std::nullopt;
    }

    bool term(Term& t) {
        const std::string name = sc_.word();
        const auto field = field_from(name);
        if (!field) return fail("\"" + name + "\" is not a field name (a blank must follow the field name)"), false;
        t.field = *field;
        if (sc_.at_end()) return fail("the equation ends after " + name), false;
        sc_.skip_blanks();
        const std::string op = sc_.word();
        if (op == "=") t.op = Op::Eq;
        else if (op == ">") t.op = Op::Gt;
        else if (op == "<") t.op = Op::Lt;
        else if (op == "!=") t.op = Op::Ne;
        else return fail("\"" + op + "\" after " + name + " is not =, >, < or != (blanks must surround it)"), false;
        if (sc_.at_end()) return fail("the equation ends after " + name + " " + op), false;
        sc_.skip_blanks();
        if (sc_.peek() == '"') {
            if (!is_text_field(t.field)) return fail(name + " takes a number, not quoted text"), false;
            sc_.get();
            std::string v;
            while (!sc_.at_end() && sc_.peek() != '"' && sc_.peek() != '\n') v.push_back(upper(sc_.get()));
            if (sc_.peek() != '"') return fail("quoted text for " + name + " has no closing quote on its line"), false;
            sc_.get();
            if (v.size() > kMaxText) return fail("quoted text for " + name + " is longer than 45 characters"), false;
            t.text = std::move(v);
            return true;
        }
        if (is_text_field(t.field)) return fail(name + " takes quoted text"), false;
        const std::string v = sc_.word();
        if (sc_.at_end()) return fail("the equation ends after " + name + " " + op + " " + v), false;
        if (v.size() > kMaxBare) return fail("value for " + name + " is longer than 40 characters"), false;
        return is_time_field(t.field) ? time_value(t, name, v) : number_value(t, name, v);
    }

    bool number_value(Term& t, const std::string& name, const std::string& v) {
        if (v.empty() || v.size() > 10 || !std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return fail("\"" + v + "\" for " + name + " is not a whole number (a blank must follow it)"), false;
        t.number = std::stoll(v);
        if (t.number > 0xFFFFFFFFll) return fail("\"" + v + "\" for " + name + " is too large"), false;
        if (t.field == Field::FileSize && t.number == 0) return fail("FILESIZE 0 is not allowed"), false;
        return true;
    }

    bool time_value(Term& t, const std::string& name, const std::string& v) {
        if (v.rfind("TODAY", 0) != 0) return fail(name + " must be compared with TODAY, TODAY-n or TODAY+n"), false;
        const std::string rest = v.substr(5);
        if (rest.empty()) {
            t.number = 0;
            return true;
        }
        const char sign = rest[0];
        const std::string digits = rest.substr(1);
        if ((sign != '+' && sign != '-') || digits.empty() || digits.size() > 6 ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return fail("\"" + v + "\" for " + name + " is not TODAY followed by a signed number of days"), false;
        const std::int64_t days = std::stoll(digits);
        if (days > kMaxDays) return fail("\"" + v + "\" is too many days from TODAY"), false;
        t.number = sign == '-' ? -days : days;
        return true;
    }

    Scanner& sc_;
};

bool contains(const std::optional<std::string>& haystack, const std::string& needle, std::size_t limit) {
    if (!haystack) return false;
    return to_upper(std::string_view(*haystack).substr(0, limit)).find(needle) != std::string::npos;
}

bool eval_terms(const std::vector<Term>& terms, const EquationEntry& e, std::int64_t today);

bool eval_term(const Term& t, const EquationEntry& e, std::int64_t today) {
    auto compare = [&](std::int64_t have, std::int64_t want) {
        switch (t.op) {
        case Op::Eq: return have == want;
        case Op::Ne: return have != want;
        case Op::Gt: return have > want;
        case Op::Lt: return have < want;
        }
        return false;
    };
    auto text = [&](const std::optional<std::string>& s, std::size_t limit) {
        if (!s) return t.op == Op::Ne;
        const bool found = contains(s, t.text, limit);
        return t.op == Op::Ne ? !found : found;
    };
    switch (t.field) {
    case Field::FileSize: return compare(e.file_size.value_or(0), t.number);
    case Field::FileType: return compare(e.file_type.value_or(0), t.number);
    case Field::Source: return text(e.source, std::string::npos);
    case Field::Destination: return text(e.destination, std::string::npos);
    case Field::Title: return text(e.title, 256);
    case Field::Keywords: return text(e.keywords, 256);
    case Field::FileName: return text(e.file_name, 100);
    case Field::CreateTime: return compare(e.create_time.value_or(0), today + t.number * kDay);
    case Field::UploadTime: return compare(e.upload_time.value_or(0), today + t.number * kDay);
    case Field::Group: return eval_terms(t.group, e, today);
    }
    return false;
}

// Left to right, no precedence: A | B & C is (A OR B) AND C.
bool eval_terms(const std::vector<Term>& terms, const EquationEntry& e, std::int64_t today) {
    if (terms.empty()) return false;
    bool result = eval_term(terms[0], e, today);
    for (std::size_t i = 1; i < terms.size(); ++i) {
        const bool v = eval_term(terms[i], e, today);
        result = terms[i - 1].next == Connector::And ? (result && v) : (result || v);
    }
    return result;
}

} // namespace

std::string_view canonical_name(EquationName n) {
    static constexpr std::string_view kNames[] = {"PRIORITY", "AUTO", "AUTO1", "AUTO2", "INCREMENTAL", "AUTO3", "NEVER"};
    return kNames[std::size_t(n)];
}

int status_code(EquationName n) {
    static constexpr int kCodes[] = {10, 9, 8, 7, 6, 5, 1};
    return kCodes[std::size_t(n)];
}

std::optional<EquationName> equation_name_from(std::string_view text) {
    static constexpr std::pair<std::string_view, EquationName> kOrder[] = {
        {"AUTO1", EquationName::Auto1},       {"AUTO2", EquationName::Auto2},       {"AUTO3", EquationName::Auto3},
        {"INCREMENTAL", EquationName::Incremental}, {"AUTO", EquationName::Auto}, {"PRIORITY", EquationName::Priority},
        {"NEVER", EquationName::Never},
    };
    const std::string u = to_upper(text);
    for (const auto& [prefix, name] : kOrder)
        if (u.rfind(prefix, 0) == 0) return name;
    return std::nullopt;
}

EquationEntry EquationEntry::from_header(const pfh::PfhHeader& h) {
    EquationEntry e;
    e.file_size = h.file_size;
    e.file_type = h.file_type;
    e.create_time = h.create_time;
    e.upload_time = h.upload_time;
    e.source = h.source;
    e.destination = h.destination;
    e.title = h.title;
    e.keywords = h.keywords;
    if (h.user_file_name) e.file_name = h.user_file_name;
    else e.file_name = h.file_name;
    return e;
}

EquationSet EquationSet::parse(std::string_view file, std::vector<EquationMessage>& messages) {
    EquationSet set;
    Scanner sc(file);
    EquationName pending = EquationName::Auto; // a name read, waiting for its "{"
    bool have_pending = false;
    bool skip_next_block = false;
    for (;;) {
        sc.skip_blanks();
        if (sc.at_end()) break;
        const int line = sc.line();
        const char c = sc.get();
        if (c == '[') {
            std::string name;
            while (!sc.at_end() && sc.peek() != ']' && sc.peek() != '\n') {
                const char ch = sc.get();
                if (name.size() < kMaxName) name.push_back(ch);
            }
            if (sc.peek() == ']') sc.get();
            const auto first = name.find_first_not_of(" \t");
            const auto last = name.find_last_not_of(" \t\r");
            const std::string trimmed = first == std::string::npos ? "" : name.substr(first, last - first + 1);
            const auto found = equation_name_from(trimmed);
            have_pending = found.has_value();
            if (found) pending = *found;
            skip_next_block = false;
            if (!have_pending) {
                messages.push_back({"Unknown equation name found", line, "[" + trimmed + "] is not an equation name"});
                skip_next_block = true;
            } else if (set.defined(pending)) {
                messages.push_back({"Equation " + std::string(canonical_name(pending)) + " defined more than once.",
                                    line, "only the first is used"});
                have_pending = false;
                skip_next_block = true;
            }
        } else if (c == '{') {
            if (skip_next_block || !have_pending) {
                sc.skip_block();
                skip_next_block = false;
                continue;
            }
            const auto body_start = sc.mark();
            BodyParser body(sc);
            auto terms = body.terms('}', 0);
            if (terms) {
                set.equations_[std::size_t(pending)] = std::move(*terms);
            } else {
                const auto& err = *body.error;
                messages.push_back({"Error while reading equation " + std::string(canonical_name(pending)), err.line,
                                    err.detail});
                // Resume after this block's own "}", wherever the parser stopped.
                sc.reset(body_start);
                sc.skip_block();
            }
            have_pending = false;
        }
        // Anything else between blocks is ignored.
    }
    return set;
}

const std::vector<Term>* EquationSet::terms(EquationName name) const {
    const auto& e = equations_[std::size_t(name)];
    return e ? &*e : nullptr;
}

bool EquationSet::match(EquationName name, const EquationEntry& entry, std::chrono::sys_seconds now) const {
    const auto& e = equations_[std::size_t(name)];
    if (!e) return false;
    const std::int64_t secs = now.time_since_epoch().count();
    const std::int64_t today = secs - ((secs % kDay) + kDay) % kDay;
    return eval_terms(*e, entry, today);
}

int EquationSet::choose_status(const EquationEntry& entry, std::chrono::sys_seconds now) const {
    for (std::size_t i = 0; i < kEquationCount; ++i)
        if (match(EquationName(i), entry, now)) return status_code(EquationName(i));
    return kStatusGrab;
}

} // namespace orva::engine
