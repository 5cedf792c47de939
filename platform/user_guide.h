// The project's HTML user guide, which every program's Help opens in the desktop's browser.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "platform/launcher.h"
#include "platform/result.h"

namespace orva::platform {

// Where the guide is: installed beside the programs (<prefix>/share/orva), else in the source tree
// the programs were built from. None when neither holds it.
std::optional<std::filesystem::path> find_user_guide(const std::filesystem::path& program_dir);

// Opens the guide with xdg-open at `section` (an anchor, may be empty). A guide that cannot be
// found or a browser that cannot be started is an error naming what went wrong.
Status open_user_guide(std::string_view section = {}, const Launcher& launcher = Launcher());

} // namespace orva::platform
