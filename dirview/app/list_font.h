// The directory list's font as the settings keep it: a fixed-pitch face (the columns line up only
// in one), sizes 8 to 36.
#pragma once

#include "common/settings/suite_settings.h"

#include <QFont>

namespace orva::dirview {

QFont list_font(const settings::TesselSettings& s);
void store_list_font(settings::TesselSettings& s, const QFont& font);

} // namespace orva::dirview
