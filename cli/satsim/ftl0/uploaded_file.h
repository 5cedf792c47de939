// A finished upload as the satellite serves it, under the number the server gave it: as filed when
// the server wrote into its header in place; with its header filed the same way when it has the
// upload layout; else with its own header rebuilt when it has one that fits, or one made for it.
#pragma once

#include "cli/satsim/ftl0/ftl0_server.h"
#include "cli/satsim/served_file.h"

#include <optional>

namespace orva::satsim {

std::optional<ServedFile> served_upload(const FinishedUpload& upload, std::uint32_t now);

} // namespace orva::satsim
