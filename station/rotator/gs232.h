// Yaesu GS-232 controllers: one "W" position command whenever either axis has moved more than
// 3 degrees from the last one sent.
#pragma once

#include <string>

#include "station/rotator/aim.h"

namespace orva::station::gs232 {

std::string tick(LastSent& last, const Aim& aim);

} // namespace orva::station::gs232
