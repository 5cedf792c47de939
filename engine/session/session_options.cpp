#include "engine/session/brek_session.h"

namespace orva::engine {

GeneralOptions general_options_from_box(std::uint32_t inactivity_minutes, std::uint32_t up_to_date_minutes,
                                        std::uint32_t proc_threshold, bool download_your_uploads, bool print_headers,
                                        bool run_dispo, bool maximise_upload, bool block_bbs, bool grab_all)
{
    GeneralOptions o;
    o.inactivity_timeout_s = inactivity_minutes ? inactivity_minutes * 60 : 86400;
    o.up_to_date_timeout_s = up_to_date_minutes ? up_to_date_minutes * 60 : 86400;
    o.proc_threshold = proc_threshold;
    o.download_your_uploads = download_your_uploads;
    o.print_headers = print_headers;
    o.run_dispo = run_dispo;
    o.maximise_upload = maximise_upload;
    o.block_bbs = block_bbs;
    o.grab_all = grab_all;
    return o;
}

TncSettingsBox clamp_tnc_settings(TncSettingsBox box)
{
    if (box.tx_delay_ms > 2500)
        box.tx_delay_ms = 330;
    if (box.tx_tail_ms > 2500)
        box.tx_tail_ms = 330;
    if (box.retry_time_s > 60)
        box.retry_time_s = 6;
    if (box.packet_length < 20 || box.packet_length > 255)
        box.packet_length = 245;
    return box;
}

} // namespace orva::engine
