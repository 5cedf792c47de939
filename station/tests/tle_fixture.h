// Reading the committed element files and reference tables in the orbit tests.
#pragma once

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/elements/kep_record.h"
#include "station/orbit/sgp4.h"

namespace orva::station::testing {

inline std::string data_path(const std::string& name)
{
    return std::string(ORVA_SOURCE_DIR) + "/station/tests/data/" + name;
}

struct TleSet {
    std::string name, line1, line2;
};

inline std::vector<TleSet> read_tle_file(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);)
        lines.push_back(l);
    std::vector<TleSet> out;
    for (std::size_t i = 0; i + 2 < lines.size(); i += 3)
        out.push_back({lines[i], lines[i + 1], lines[i + 2]});
    return out;
}

inline double field(const std::string& line, std::size_t from, std::size_t width)
{
    return std::atof(line.substr(from, width).c_str());
}

// B* as written: sign, five mantissa digits with an implied point, signed exponent.
inline double bstar_of(const std::string& line1)
{
    std::string f = line1.substr(53, 8);
    double mantissa = std::atof(f.substr(0, 6).c_str()) * 1e-5;
    int exponent = std::atoi(f.substr(6, 2).c_str());
    return mantissa * std::pow(10.0, exponent);
}

inline elements::KepRecord kep_from_tle(const TleSet& s)
{
    elements::KepRecord r;
    r.name = s.name.substr(0, 12);
    while (!r.name.empty() && r.name.back() == ' ')
        r.name.pop_back();
    r.catalogue = std::uint16_t(std::atoi(s.line1.substr(2, 5).c_str()));
    r.epoch_year = std::int16_t(std::atoi(s.line1.substr(18, 2).c_str()));
    r.epoch_day = field(s.line1, 20, 12);
    r.inclination = field(s.line2, 8, 8);
    r.raan = field(s.line2, 17, 8);
    r.eccentricity = std::atof(("." + s.line2.substr(26, 7)).c_str());
    r.arg_perigee = field(s.line2, 34, 8);
    r.mean_anomaly = field(s.line2, 43, 8);
    r.mean_motion = field(s.line2, 52, 11);
    r.epoch_rev = std::atoi(s.line2.substr(63, 5).c_str());
    return r;
}

inline Sgp4Elements sgp4_elements(const TleSet& s, bool with_bstar)
{
    constexpr double kDeg = 0.017453292519943295;
    elements::KepRecord r = kep_from_tle(s);
    Sgp4Elements e;
    e.mean_motion_rad_min = r.mean_motion / 13750.98708314 * 60.0;
    e.eccentricity = r.eccentricity;
    e.inclination = r.inclination * kDeg;
    e.raan = r.raan * kDeg;
    e.arg_perigee = r.arg_perigee * kDeg;
    e.mean_anomaly = r.mean_anomaly * kDeg;
    e.bstar = with_bstar ? bstar_of(s.line1) : 0.0;
    return e;
}

// Comma-separated numbers after a header line.
inline std::vector<std::vector<double>> read_csv(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::vector<double>> rows;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<double> row;
        std::stringstream ss(line);
        for (std::string cell; std::getline(ss, cell, ',');)
            row.push_back(std::atof(cell.c_str()));
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace orva::station::testing
