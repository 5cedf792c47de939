// A finished upload as the satellite serves it: its own PACSAT header when it has one that fits,
// else one made for it, under the number the server gave it.
#pragma once

#include "cli/satsim/ftl0/ftl0_server.h"
#include "cli/satsim/served_file.h"

#include <optional>

namespace orva::satsim {

std::optional<ServedFile> served_upload(const FinishedUpload& upload, std::uint32_t now);

} // namespace orva::satsim
