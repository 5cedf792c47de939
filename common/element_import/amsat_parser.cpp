// AMSAT verbose sets: "Satellite: NAME" followed by one labelled value per line.
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "common/element_import/element_import.h"
#include "common/element_import/text_lines.h"

namespace orva::station {

using namespace detail;

namespace {
bool starts_with(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

bool blank(std::string_view s)
{
    for (char c : s)
        if (!std::isspace(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// The number at the start of the value, as scanf reads it (blanks skipped, units after it
// ignored); none when the value does not begin with a number.
std::optional<double> leading_number(std::string_view value, bool integer)
{
    std::string s(value.substr(0, 60));
    const char* begin = s.c_str();
    while (*begin == ' ' || *begin == '\t')
        ++begin;
    char* end = nullptr;
    double v = integer ? double(std::strtoll(begin, &end, 10)) : std::strtod(begin, &end);
    if (end == begin || !std::isfinite(v))
        return std::nullopt;
    return v;
}

enum Field { Catalogue, Epoch, ElementSet, Inclination, Raan, Eccentricity, ArgPerigee, MeanAnomaly,
             MeanMotion, Decay, EpochRev, Checksum, FieldCount };

struct Label {
    const char* text;
    Field field;
    bool integer;
};

constexpr Label kLabels[] = {
    {"Catalog number:", Catalogue, true}, {"Epoch time:", Epoch, false},
    {"Element set:", ElementSet, true},   {"Inclination:", Inclination, false},
    {"RA of node:", Raan, false},         {"Eccentricity:", Eccentricity, false},
    {"Arg of perigee:", ArgPerigee, false}, {"Mean anomaly:", MeanAnomaly, false},
    {"Mean motion:", MeanMotion, false},  {"Decay rate:", Decay, false},
    {"Epoch rev:", EpochRev, true},       {"Checksum:", Checksum, true},
};

class SetBuilder {
public:
    explicit SetBuilder(std::string_view satellite_line)
    {
        // The 12 characters after "Satellite: ", trailing blanks kept as written.
        if (satellite_line.size() > 11)
            set_.record.name = std::string(satellite_line.substr(11, 12));
    }

    void take(Field f, std::optional<double> v)
    {
        if (f == Checksum)
            return;
        if (!v) {
            bad_ = true;
            return;
        }
        seen_[f] = true;
        value_[f] = *v;
    }

    ParsedSet finish()
    {
        elements::KepRecord& r = set_.record;
        std::string name = r.name;
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        if (name.empty() || name.find('\0') != std::string::npos) {
            set_.rejected = "no satellite name";
            return set_;
        }
        if (bad_) {
            set_.rejected = "field not numeric";
            return set_;
        }
        if (!seen_[Catalogue] || value_[Catalogue] <= 0 || value_[Catalogue] > 4294967295.0) {
            set_.rejected = "no catalogue number";
            return set_;
        }
        for (Field f : {Epoch, Inclination, Raan, Eccentricity, ArgPerigee, MeanAnomaly, MeanMotion})
            if (!seen_[f]) {
                set_.rejected = "incomplete set";
                return set_;
            }
        set_.full_catalogue = std::uint32_t(value_[Catalogue]);
        r.catalogue = std::uint16_t(set_.full_catalogue & 0xffff);
        double epoch = value_[Epoch];
        double year = std::trunc(epoch / 1000.0);
        r.epoch_year = std::int16_t(year);
        r.epoch_day = epoch - 1000.0 * year;
        r.element_set = std::int32_t(std::fmod(value_[ElementSet], 2147483648.0));
        r.inclination = value_[Inclination];
        r.raan = value_[Raan];
        r.eccentricity = value_[Eccentricity];
        r.arg_perigee = value_[ArgPerigee];
        r.mean_anomaly = value_[MeanAnomaly];
        r.mean_motion = value_[MeanMotion];
        r.decay = value_[Decay];
        r.epoch_rev = std::int32_t(std::fmod(value_[EpochRev], 2147483648.0));
        if (year < 0 || year > 99 || r.epoch_day < 1.0 || r.epoch_day >= 367.0)
            set_.rejected = "epoch out of range";
        else if (!(r.mean_motion > 0))
            set_.rejected = "mean motion 0 or below";
        else if (!(r.eccentricity >= 0 && r.eccentricity < 1))
            set_.rejected = "eccentricity outside [0, 1)";
        return set_;
    }

private:
    ParsedSet set_;
    bool seen_[FieldCount] = {};
    double value_[FieldCount] = {};
    bool bad_ = false;
};
} // namespace

ParsedText parse_amsat(std::string_view text)
{
    ParsedText out;
    TextLines lines(text);
    std::string_view line;
    bool have = lines.next(line);
    while (have) {
        if (!starts_with(line, "Satellite:")) {
            have = lines.next(line);
            continue;
        }
        SetBuilder set(line);
        bool ended_by_checksum = false;
        while ((have = lines.next(line))) {
            if (starts_with(line, "Satellite:"))
                break; // starts the next set
            if (blank(line))
                break;
            const Label* label = nullptr;
            for (const auto& l : kLabels)
                if (starts_with(line, l.text))
                    label = &l;
            if (!label)
                continue; // other lines inside a set are ignored
            if (label->field == Checksum) {
                ended_by_checksum = true;
                break;
            }
            set.take(label->field, leading_number(line.substr(std::string_view(label->text).size()), label->integer));
        }
        out.sets.push_back(set.finish());
        if (ended_by_checksum)
            have = lines.next(line);
    }
    return out;
}

} // namespace orva::station
