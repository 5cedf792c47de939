#include "dirview/app/list_font.h"

#include <algorithm>

namespace orva::dirview {

QFont list_font(const settings::TesselSettings& s)
{
    QFont f(QString::fromStdString(s.font_name));
    f.setPointSize(std::clamp<int>(int(s.font_size), 8, 36));
    f.setWeight(QFont::Weight(std::clamp<int>(int(s.font_type), 100, 900)));
    // The columns line up only in a fixed-pitch face; a missing one falls back to monospace.
    f.setFixedPitch(true);
    f.setStyleHint(QFont::TypeWriter);
    return f;
}

void store_list_font(settings::TesselSettings& s, const QFont& f)
{
    s.font_name = f.family().left(31).toStdString();
    s.font_size = std::uint32_t(std::clamp(f.pointSize(), 8, 36));
    s.font_type = std::uint32_t(f.weight());
    s.font_pitch = 1;
}

} // namespace orva::dirview
