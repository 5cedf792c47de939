// Finds and reads "Brek Equations.TXT": the satellite directory's copy, else the suite's.
#pragma once

#include "engine/select/equations.h"

#include <filesystem>
#include <vector>

namespace orva::engine {

struct LoadedEquations {
    EquationSet set;
    std::vector<EquationMessage> messages; // in the order to post them
    std::filesystem::path file;            // empty when none was found
};

LoadedEquations load_equations(const std::filesystem::path& satellite_dir, const std::filesystem::path& suite_dir);

} // namespace orva::engine
