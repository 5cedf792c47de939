// The suite's version as the build names it. Only version.cpp sees the number, so a new version
// recompiles one file.
#pragma once

#include <string>

namespace orva {

struct SuiteVersion {
    int major, minor, patch;
};

SuiteVersion suite_version();
// "0.1.0"
std::string suite_version_text();

} // namespace orva
