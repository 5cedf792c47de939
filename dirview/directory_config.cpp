#include "dirview/directory_config.h"

#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"

#include <cctype>

namespace orva::dirview {

Result<DirectoryConfig> read_directory_config(const platform::Store& store, std::string_view satellite)
{
    auto sat = settings::read_satellite(store, satellite, settings::Program::Tessel);
    if (!sat)
        return sat.error();
    DirectoryConfig c;
    c.satellite = std::string(satellite);
    for (char& ch : c.satellite)
        ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    c.callsign = settings::read_station(store, settings::Program::Tessel).callsign;
    c.folders.satellite = sat->satellite_directory;
    c.folders.message = sat->message_directory;
    c.folders.my_message = sat->my_message_directory;
    c.folders.image = sat->image_directory;
    c.folders.unknown = sat->unknown_directory;
    c.folders.keps = sat->keps_directory;
    c.folders.bbs = sat->bbs_directory;
    c.folders.binary = sat->binary_directory;
    c.suite_dir = settings::read_general(store, settings::Program::Tessel).orva_directory;
    c.process_bbs = settings::read_dispo(store).process_bbs == 1;
    const settings::TesselSettings t = settings::read_tessel(store);
    c.mark_never = t.mark_never != 0;
    c.load_bbs = t.load_bbs != 0;
    c.maximum_pfh_files = t.maximum_pfh_files;
    c.maximum_messages = t.maximum_messages;
    return c;
}

} // namespace orva::dirview
