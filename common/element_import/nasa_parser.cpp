// NASA two-line sets: a name line, line 1 and line 2, columns counted from 0.
#include <cctype>
#include <cmath>
#include <optional>
#include <string>

#include "common/element_import/element_import.h"
#include "common/element_import/numeric_field.h"
#include "common/element_import/text_lines.h"

namespace orva::station {

using namespace detail;

namespace {
constexpr std::size_t kLineLength = 69;

std::string set_name(std::string_view line)
{
    line = line.substr(0, 12);
    std::string name(line.substr(0, line.find('\0')));
    while (name.size() > 1 && std::isspace(static_cast<unsigned char>(name.back())))
        name.pop_back();
    return name;
}

bool blank(std::string_view s)
{
    for (char c : s)
        if (!std::isspace(static_cast<unsigned char>(c)))
            return false;
    return true;
}

bool checksum_ok(std::string_view line)
{
    int sum = 0;
    for (std::size_t i = 0; i < 68; ++i) {
        char c = line[i];
        if (c >= '0' && c <= '9')
            sum += c - '0';
        else if (c == '-')
            sum += 1;
    }
    return line[68] >= '0' && line[68] <= '9' && sum % 10 == line[68] - '0';
}

// Catalogue numbers of five digits, or the "alpha-5" form (a letter for the ten-thousands).
std::optional<std::uint32_t> catalogue_field(std::string_view f)
{
    if (!f.empty() && f[0] >= 'A' && f[0] <= 'Z' && f[0] != 'I' && f[0] != 'O') {
        auto rest = parse_integer(f.substr(1));
        if (!rest || *rest < 0)
            return std::nullopt;
        int letter = f[0] - 'A' - (f[0] > 'I') - (f[0] > 'O');
        return std::uint32_t((10 + letter) * 10000 + *rest);
    }
    auto v = parse_integer(f);
    if (!v || *v < 0)
        return std::nullopt;
    return std::uint32_t(*v);
}

// The reason a pair of lines cannot be used, or empty; fills the set when they can.
std::string read_lines(std::string_view l1, std::string_view l2, ParsedSet& set)
{
    if (l1.size() < kLineLength || l2.size() < kLineLength)
        return "truncated line";
    if (!checksum_ok(l1) || !checksum_ok(l2))
        return "bad checksum";
    auto cat = catalogue_field(l1.substr(2, 5));
    auto cat2 = catalogue_field(l2.substr(2, 5));
    auto year = parse_integer(l1.substr(18, 2));
    auto day = parse_decimal(l1.substr(20, 12));
    auto decay = parse_decimal(l1.substr(33, 10));
    auto element_set = parse_integer_or_blank(l1.substr(65, 3));
    auto incl = parse_decimal(l2.substr(8, 8));
    auto raan = parse_decimal(l2.substr(17, 8));
    auto ecc_digits = l2.substr(26, 7);
    auto ecc = parse_integer(ecc_digits);
    auto argp = parse_decimal(l2.substr(34, 8));
    auto ma = parse_decimal(l2.substr(43, 8));
    auto mm = parse_decimal(l2.substr(52, 11));
    auto rev = parse_integer_or_blank(l2.substr(63, 5));
    if (!cat || !cat2 || !year || !day || !decay || !element_set || !incl || !raan || !ecc || !argp ||
        !ma || !mm || !rev || ecc_digits.find_first_of("+-") != std::string_view::npos)
        return "field not numeric";
    if (*cat != *cat2)
        return "lines 1 and 2 are of different satellites";
    if (*year < 0 || *year > 99 || *day < 1.0 || *day >= 367.0)
        return "epoch out of range";
    elements::KepRecord& r = set.record;
    set.full_catalogue = *cat;
    r.catalogue = std::uint16_t(*cat & 0xffff);
    r.epoch_year = std::int16_t(*year);
    r.epoch_day = *day;
    r.decay = *decay;
    r.element_set = std::int32_t(*element_set);
    r.inclination = *incl;
    r.raan = *raan;
    r.eccentricity = double(*ecc) * 1e-7;
    r.arg_perigee = *argp;
    r.mean_anomaly = *ma;
    r.mean_motion = *mm;
    r.epoch_rev = std::int32_t(*rev % 65536);
    if (!(r.mean_motion > 0))
        return "mean motion 0 or below";
    if (!(r.eccentricity >= 0 && r.eccentricity < 1))
        return "eccentricity outside [0, 1)";
    return {};
}
} // namespace

ParsedText parse_nasa(std::string_view text)
{
    ParsedText out;
    TextLines lines(text);
    std::optional<std::string_view> pending;
    for (;;) {
        std::string_view name_line;
        if (pending) {
            name_line = *pending;
            pending.reset();
        } else if (!lines.next(name_line)) {
            break;
        }
        if (blank(name_line))
            continue;
        std::string_view l1, l2;
        if (!lines.next(l1))
            break;
        if (l1.empty() || l1[0] != '1') {
            pending = l1; // not a line 1: it is the next name line
            continue;
        }
        ParsedSet set;
        set.record.name = set_name(name_line);
        if (!lines.next(l2) || l2.empty() || l2[0] != '2') {
            set.rejected = "line 2 missing";
            out.sets.push_back(std::move(set));
            if (!l2.empty())
                pending = l2; // it may be the next set's name line: do not lose that set
            continue;
        }
        set.rejected = read_lines(l1, l2, set);
        if (set.rejected.empty() && set.full_catalogue == 0)
            continue; // no catalogue number: dropped without a line
        out.sets.push_back(std::move(set));
    }
    return out;
}

int ParsedText::good() const
{
    int n = 0;
    for (const auto& s : sets)
        n += s.rejected.empty() ? 1 : 0;
    return n;
}

ParsedText parse_elements(std::string_view text, ElementFormat format)
{
    return format == ElementFormat::Nasa ? parse_nasa(text) : parse_amsat(text);
}

} // namespace orva::station
