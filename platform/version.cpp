#include "platform/version.h"

namespace orva {

SuiteVersion suite_version() { return {ORVA_VERSION_MAJOR, ORVA_VERSION_MINOR, ORVA_VERSION_PATCH}; }

std::string suite_version_text()
{
    SuiteVersion v = suite_version();
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.patch);
}

} // namespace orva
