#include "engine/session/pass_config.h"

#include "engine/upload/connected_link.h"

namespace orva::engine {

namespace fs = std::filesystem;

ReceptionConfig reception_config_from(const settings::SatelliteRecord& rec, const settings::StationSettings& station,
                                      const settings::GeneralSettings& general)
{
    ReceptionConfig c;
    c.satellite = rec.name;
    c.folder = rec.satellite_directory.empty() ? fs::path(rec.directory) : fs::path(rec.satellite_directory);
    c.suite_folder = general.orva_directory;
    c.my_call = station.callsign;
    c.bbs_call = rec.bbs_callsign;
    c.bdcst_call = rec.bdcst_callsign;
    c.latitude = station.latitude;
    c.longitude = station.longitude;
    c.directory.enable_satgate = rec.enable_satgate != 0;
    c.directory.satgate_reject = rec.satgate_reject;
    c.directory.satgate_priority = rec.satgate_priority;
    c.directory.dl_mine = rec.dl_mine != 0;
    c.directory.ack_receipt = rec.ack_receipt != 0;
    c.files.grab_all = rec.grab_all != 0;
    c.files.block_bbs = rec.block_bbs != 0;
    c.files.proc_threshold = rec.proc_threshold;
    c.requests.auto_fill = rec.auto_fill != 0;
    c.requests.bdcst_custom = int(rec.bdcst_custom);
    c.requests.tail_action = int(rec.tail_action);
    c.requests.dir_priority = int(rec.dir_priority);
    c.requests.tx_request = rec.tx_request != 0;
    c.requests.change_freq = rec.change_freq;
    c.requests.uplinks = rec.uplinks;
    c.requests.up_to_date_timeout = rec.up_to_date_timeout ? std::uint64_t(rec.up_to_date_timeout) * 60 : 86400;
    c.requests.inactivity_timeout = rec.inactivity_timeout ? std::uint64_t(rec.inactivity_timeout) * 60 : 86400;
    c.dispatch.bdcst_frame = rec.bdcst_frame;
    c.dispatch.crc_close = rec.crc_close;
    c.dispatch.ignore_shut = rec.ignore_shut != 0;
    c.dispatch.update_keps = rec.update_keps != 0;
    c.max_holes = rec.max_holes;
    c.zero_start = rec.zero_start != 0;
    c.run_dispo = rec.run_dispo != 0;
    c.satgate_collect = rec.satgate_collect;
    c.satgate_callsign = rec.satgate_callsign;
    c.tx_port_nibble = std::uint8_t((rec.tx_port & 7) << 4);
    c.tx_delay_ms = rec.tx_delay;
    c.tx_tail_ms = rec.tx_tail;
    c.smack = rec.test_smack != 0;
    c.tx_buffer = rec.tx_buffer;
    return c;
}

std::optional<UploadConfig> upload_config_from(const settings::SatelliteRecord& rec,
                                               const settings::StationSettings& station, const fs::path& folder,
                                               std::uint64_t seed)
{
    auto my_call = Ax25Address::parse(station.callsign);
    auto bbs_call = Ax25Address::parse(rec.bbs_callsign);
    if (!my_call || !bbs_call)
        return std::nullopt;
    UploadConfig u;
    u.my_call = *my_call;
    u.bbs_call = *bbs_call;
    u.link = data_link_settings_from(rec);
    u.folder = folder;
    u.uploading = rec.uploading != 0;
    u.ignore_shut = rec.ignore_shut != 0;
    u.auto_freq = rec.auto_freq != 0;
    u.default_uplink = int(rec.default_uplink);
    u.seed = seed;
    return u;
}

} // namespace orva::engine
