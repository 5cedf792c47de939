// Brek's state as one JSON document, for the station's web view: the pass, the status boxes, the
// download table, the upload in progress and the last status lines. The host serves it on its
// data server (topic "Session", item "Status", format "JSON") and pushes each change.
#pragma once

#include "engine/session/brek_session.h"

#include <string>

namespace orva::engine {

inline constexpr const char* kSessionTopic = "Session";
inline constexpr const char* kSessionStatusItem = "Status";
inline constexpr const char* kSessionStatusFormat = "JSON";

// "black", "red", "blue", "darkred", "green".
const char* colour_name(LineColour colour);

std::string session_status_json(const BrekSession& session);

} // namespace orva::engine
