#include "common/settings/suite_settings.h"

#include "common/settings/keys.h"

namespace orva::settings {

namespace {

using K = Kind;

#define FONT_FIELDS(R)                                                                                           \
    Field<R>{"Font Size", K::Integer, 0, &R::font_size}, Field<R>{"Font Type", K::Integer, 0, &R::font_type},      \
        Field<R>{"Font Pitch", K::Byte, 0, &R::font_pitch}, Field<R> { "Font Name", K::String, 32, &R::font_name }

const Field<GeneralSettings> general_table[] = {
    {"Orva Directory", K::String, 260, &GeneralSettings::orva_directory},
    {"Error Sound", K::Integer, 0, &GeneralSettings::error_sound},
    {"PrePass Sound", K::Integer, 0, &GeneralSettings::prepass_sound},
    {"New Mail Sound", K::Integer, 0, &GeneralSettings::new_mail_sound},
    {"New DL Sound", K::Integer, 0, &GeneralSettings::new_dl_sound},
    {"Track AOS Sound", K::Integer, 0, &GeneralSettings::track_aos_sound},
    {"Sound Type", K::Integer, 0, &GeneralSettings::sound_type},
    {"Error WAV", K::String, 260, &GeneralSettings::error_wav},
    {"PrePass WAV", K::String, 260, &GeneralSettings::prepass_wav},
    {"New Mail WAV", K::String, 260, &GeneralSettings::new_mail_wav},
    {"New DL WAV", K::String, 260, &GeneralSettings::new_dl_wav},
    {"Track AOS WAV", K::String, 260, &GeneralSettings::track_aos_wav},
    {"PrePass Sat WAV", K::Integer, 0, &GeneralSettings::prepass_sat_wav},
};

const Field<StationSettings> station_table[] = {
    // The Position page stores the callsign without its NUL.
    {"Callsign", K::StringBytes, 12, &StationSettings::callsign},
    {"Longitude", K::Double, 0, &StationSettings::longitude},
    {"Latitude", K::Double, 0, &StationSettings::latitude},
    {"Altitude", K::Double, 0, &StationSettings::altitude},
    {"Limit Hours", K::Integer, 0, &StationSettings::limit_hours},
    {"Start Hour", K::Integer, 0, &StationSettings::start_hour},
    {"Stop Hour", K::Integer, 0, &StationSettings::stop_hour},
    {"Listen Hours", K::Integer, 0, &StationSettings::listen_hours},
    {"Listen Start", K::Integer, 0, &StationSettings::listen_start},
    {"Listen Stop", K::Integer, 0, &StationSettings::listen_stop},
    {"Use Horizon", K::Integer, 0, &StationSettings::use_horizon},
    {"Display Horizon", K::Integer, 0, &StationSettings::display_horizon},
    {"Horizon", K::Horizon, 0, &StationSettings::horizon},
};

const Field<RotatorSettings> rotator_table[] = {
    {"Rotator Type", K::Integer, 0, &RotatorSettings::rotator_type},
    {"Port", K::Integer, 0, &RotatorSettings::port},
    {"Speed", K::Integer, 0, &RotatorSettings::speed},
    {"Stop Position", K::Integer, 0, &RotatorSettings::stop_position},
    {"Flip", K::Integer, 0, &RotatorSettings::flip},
    {"Pacing Delay", K::Integer, 0, &RotatorSettings::pacing_delay},
    {"Park", K::Integer, 0, &RotatorSettings::park},
    {"Park Az", K::Integer, 0, &RotatorSettings::park_az},
    {"Park El", K::Integer, 0, &RotatorSettings::park_el},
    {"Park Delay", K::Integer, 0, &RotatorSettings::park_delay},
};

using H = HelmoSettings;
const Field<H> helmo_table[] = {
    {"Tracking", K::String, 4096, &H::tracking},
    {"Rotor Display", K::Integer, 0, &H::rotor_display},
    {"Display Time", K::Integer, 0, &H::display_time},
    {"Pop Up Time", K::Integer, 0, &H::pop_up_time},
    {"Pass End Time", K::Integer, 0, &H::pass_end_time},
    {"Pass Wait Time", K::Integer, 0, &H::pass_wait_time},
    {"Schedule Days", K::Integer, 0, &H::schedule_days},
    {"Message Pop Ups", K::Integer, 0, &H::message_pop_ups},
    {"Map Display", K::Integer, 0, &H::map_display},
    {"Map Terminator Norm", K::Integer, 0, &H::map_terminator_norm},
    {"Map Terminator Fast", K::Integer, 0, &H::map_terminator_fast},
    {"Map GroundTrack Norm", K::Integer, 0, &H::map_groundtrack_norm},
    {"Map GroundTrack Fast", K::Integer, 0, &H::map_groundtrack_fast},
    {"Map Circle Norm", K::Integer, 0, &H::map_circle_norm},
    {"Map Circle Fast", K::Integer, 0, &H::map_circle_fast},
    {"Map Scroll Norm", K::Integer, 0, &H::map_scroll_norm},
    {"Map Scroll Fast", K::Integer, 0, &H::map_scroll_fast},
    {"Map Origin", K::Integer, 0, &H::map_origin},
    {"Map Speed", K::Integer, 0, &H::map_speed},
    {"Map xLeft", K::Integer, 0, &H::map_x_left},
    {"Map yTop", K::Integer, 0, &H::map_y_top},
    {"Map Sat", K::String, 20, &H::map_sat},
    {"xLeft", K::Integer, 0, &H::x_left},
    {"yTop", K::Integer, 0, &H::y_top},
    {"cxWidth", K::Integer, 0, &H::cx_width},
    {"cyHeight", K::Integer, 0, &H::cy_height},
    FONT_FIELDS(H),
    {"Map Font Size", K::Integer, 0, &H::map_font_size},
    {"Map Font Type", K::Integer, 0, &H::map_font_type},
    {"Map Font Pitch", K::Byte, 0, &H::map_font_pitch},
    {"Map Font Name", K::String, 32, &H::map_font_name},
    {"Keps Type", K::Integer, 0, &H::keps_type},
    {"Keps Dir", K::String, 260, &H::keps_dir},
    {"Programs", K::Integer, 0, &H::programs},
    {"FH Keep PFH Files", K::Integer, 0, &H::fh_keep_pfh_files},
    {"FH Oldest Files", K::Integer, 0, &H::fh_oldest_files},
    {"FH Oldest Messages", K::Integer, 0, &H::fh_oldest_messages},
    {"FH Delete DLX", K::Integer, 0, &H::fh_delete_dlx},
    {"FH Delete MSG", K::Integer, 0, &H::fh_delete_msg},
    {"FH Delete UL", K::Integer, 0, &H::fh_delete_ul},
    {"FH Delete ACT", K::Integer, 0, &H::fh_delete_act},
    {"FH Delete MYMSG", K::Integer, 0, &H::fh_delete_mymsg},
    {"FH PFH Action", K::Integer, 0, &H::fh_pfh_action},
};

const Field<QuilletSettings> quillet_table[] = {
    {"Signature", K::String, 260, &QuilletSettings::signature},
    {"Greeting", K::String, 30, &QuilletSettings::greeting},
    {"Editor", K::String, 260, &QuilletSettings::editor},
    {"Source Save Directory", K::String, 260, &QuilletSettings::source_save_directory},
    {"Message Expiry Days", K::Integer, 0, &QuilletSettings::message_expiry_days},
    {"Compression Threshold", K::Integer, 0, &QuilletSettings::compression_threshold},
    {"Compression Type", K::Integer, 0, &QuilletSettings::compression_type},
    {"Remove Source", K::Integer, 0, &QuilletSettings::remove_source},
    {"Copy Original", K::Integer, 0, &QuilletSettings::copy_original},
};

const Field<DispoSettings> dispo_table[] = {
    {"Add Header", K::Integer, 0, &DispoSettings::add_header},
    {"View Mine", K::Integer, 0, &DispoSettings::view_mine},
    {"Process Keps", K::Integer, 0, &DispoSettings::process_keps},
    {"Decompress Binaries", K::Integer, 0, &DispoSettings::decompress_binaries},
    {"Process BBS", K::Integer, 0, &DispoSettings::process_bbs},
    {"Process Logs", K::Integer, 0, &DispoSettings::process_logs},
    {"Keps Append", K::Integer, 0, &DispoSettings::keps_append},
    {"Update Keps", K::Integer, 0, &DispoSettings::update_keps},
    {"Update Callsign", K::String, 20, &DispoSettings::update_callsign},
    {"Update Spacecraft", K::String, 20, &DispoSettings::update_spacecraft},
};

using T = TesselSettings;
const Field<T> tessel_table[] = {
    {"Load BBS", K::Integer, 0, &T::load_bbs},
    {"Mark Never", K::Integer, 0, &T::mark_never},
    {"Confirm Delete", K::Integer, 0, &T::confirm_delete},
    {"Maximum PFH Files", K::Integer, 0, &T::maximum_pfh_files},
    {"Maximum Messages", K::Integer, 0, &T::maximum_messages},
    {"Strings on Toolbar", K::Integer, 0, &T::strings_on_toolbar},
    {"xLeft", K::Integer, 0, &T::x_left},
    {"yTop", K::Integer, 0, &T::y_top},
    {"cxWidth", K::Integer, 0, &T::cx_width},
    {"cyHeight", K::Integer, 0, &T::cy_height},
    {"Reopen", K::Integer, 0, &T::reopen},
    FONT_FIELDS(T),
};

using B = BrekSettings;
const Field<B> brek_table[] = {
    {"Maximise Upload", K::Integer, 0, &B::maximise_upload},
    {"Switching", K::Integer, 0, &B::switching},
    {"Upload xLeft", K::Integer, 0, &B::upload_x_left},
    {"Upload yTop", K::Integer, 0, &B::upload_y_top},
    {"Fill xLeft", K::Integer, 0, &B::fill_x_left},
    {"Fill yTop", K::Integer, 0, &B::fill_y_top},
    {"Info xLeft", K::Integer, 0, &B::info_x_left},
    {"Info yTop", K::Integer, 0, &B::info_y_top},
    {"Freq xLeft", K::Integer, 0, &B::freq_x_left},
    {"Freq yTop", K::Integer, 0, &B::freq_y_top},
    {"xLeft", K::Integer, 0, &B::x_left},
    {"yTop", K::Integer, 0, &B::y_top},
    {"cxWidth", K::Integer, 0, &B::cx_width},
    {"cyHeight", K::Integer, 0, &B::cy_height},
    {"Reopen", K::Integer, 0, &B::reopen},
    FONT_FIELDS(B),
};

const Field<PixoraSettings> pixora_table[] = {
    {"Orva.Kep Directory", K::String, 260, &PixoraSettings::kep_directory},
    {"Orva.Obs Directory", K::String, 260, &PixoraSettings::obs_directory},
    {"Images Directory", K::String, 260, &PixoraSettings::images_directory},
    {"Initialised", K::String, 260, &PixoraSettings::initialised},
};

#undef FONT_FIELDS

template <class R, std::size_t N>
R read_table(const platform::Store& store, const char* key, const Field<R> (&table)[N], R record = {})
{
    read_fields(store, key, std::span<const Field<R>>(table), record);
    return record;
}

template <class R, std::size_t N>
Status write_table(platform::Store& store, const char* key, const Field<R> (&table)[N], const R& record)
{
    return write_fields(store, key, std::span<const Field<R>>(table), record);
}

} // namespace

GeneralSettings read_general(const platform::Store& store, Program reader)
{
    GeneralSettings g;
    // The engine falls back to the root of the file system, the others to nothing.
    if (reader == Program::Brek)
        g.orva_directory = "/";
    return read_table(store, keys::general, general_table, g);
}

StationSettings read_station(const platform::Store& store, Program reader)
{
    StationSettings s = read_table(store, keys::station, station_table);
    // Each program reads the callsign through its own buffer; a longer one is not read at all.
    std::size_t size = reader == Program::Brek ? 11 : reader == Program::Tessel ? 8 : 12;
    auto call = store.read_string(keys::station, "Callsign", size);
    s.callsign = call ? *call : std::string();
    if (auto c = store.read_string(keys::station, "Control Name", 100))
        s.control_name = *c;
    return s;
}

RotatorSettings read_rotator(const platform::Store& store)
{
    RotatorSettings r = read_table(store, keys::rotator, rotator_table);
    if (r.pacing_delay > 50)
        r.pacing_delay = 50;
    return r;
}

HelmoSettings read_helmo(const platform::Store& store)
{
    HelmoSettings h = read_table(store, keys::helmo, helmo_table);
    // Only a Level1 rotator reports a position worth showing.
    if (read_rotator(store).rotator_type != 2)
        h.rotor_display = 1;
    if (h.map_origin > 2)
        h.map_origin = 0;
    if (static_cast<std::int32_t>(h.map_speed) <= 0 || h.map_speed > 10000)
        h.map_speed = 100;
    return h;
}

QuilletSettings read_quillet(const platform::Store& store)
{
    QuilletSettings q = read_table(store, keys::quillet, quillet_table);
    if (q.compression_type == 1)
        q.compression_type = 0;
    return q;
}

DispoSettings read_dispo(const platform::Store& store) { return read_table(store, keys::dispo, dispo_table); }

DispoSettings dispo_page_defaults()
{
    DispoSettings d;
    d.view_mine = 1;
    d.process_keps = 1;
    d.update_keps = 1;
    return d;
}

TesselSettings read_tessel(const platform::Store& store) { return read_table(store, keys::tessel, tessel_table); }

TesselSettings tessel_page_defaults()
{
    TesselSettings t;
    t.load_bbs = 1;
    t.mark_never = 1;
    t.maximum_pfh_files = 3;
    t.maximum_messages = 450;
    return t;
}

BrekSettings read_brek(const platform::Store& store) { return read_table(store, keys::brek, brek_table); }

PixoraSettings read_pixora(const platform::Store& store) { return read_table(store, keys::pixora, pixora_table); }

std::optional<std::string> read_short_date(const platform::Store& store)
{
    if (auto v = store.read_string(keys::international, "sShortDate", 30))
        return *v;
    return std::nullopt;
}

Status write_general(platform::Store& store, const GeneralSettings& s) { return write_table(store, keys::general, general_table, s); }
Status write_station(platform::Store& store, const StationSettings& s)
{
    if (auto st = write_table(store, keys::station, station_table, s); !st)
        return st;
    if (s.control_name)
        return store.write_string(keys::station, "Control Name", *s.control_name);
    return {};
}
Status write_rotator(platform::Store& store, const RotatorSettings& s) { return write_table(store, keys::rotator, rotator_table, s); }
Status write_helmo(platform::Store& store, const HelmoSettings& s) { return write_table(store, keys::helmo, helmo_table, s); }
Status write_quillet(platform::Store& store, const QuilletSettings& s) { return write_table(store, keys::quillet, quillet_table, s); }
Status write_dispo(platform::Store& store, const DispoSettings& s) { return write_table(store, keys::dispo, dispo_table, s); }
Status write_tessel(platform::Store& store, const TesselSettings& s) { return write_table(store, keys::tessel, tessel_table, s); }
Status write_brek(platform::Store& store, const BrekSettings& s) { return write_table(store, keys::brek, brek_table, s); }
Status write_pixora(platform::Store& store, const PixoraSettings& s) { return write_table(store, keys::pixora, pixora_table, s); }

std::span<const Field<GeneralSettings>> general_fields() { return general_table; }
std::span<const Field<StationSettings>> station_fields() { return station_table; }
std::span<const Field<RotatorSettings>> rotator_fields() { return rotator_table; }
std::span<const Field<HelmoSettings>> helmo_fields() { return helmo_table; }
std::span<const Field<QuilletSettings>> quillet_fields() { return quillet_table; }
std::span<const Field<DispoSettings>> dispo_fields() { return dispo_table; }
std::span<const Field<TesselSettings>> tessel_fields() { return tessel_table; }
std::span<const Field<BrekSettings>> brek_fields() { return brek_table; }

} // namespace orva::settings
