#include "common/settings/satellite_record.h"

#include <filesystem>

#include "common/file_names.h"
#include "common/settings/keys.h"

namespace orva::settings {

namespace fs = std::filesystem;

namespace {

using K = Kind;
using S = SatelliteRecord;

const Field<S> satellite_table[] = {
    {"Name", K::String, 13, &S::name},
    {"BBS Callsign", K::String, 10, &S::bbs_callsign},
    {"NUP Callsign", K::String, 10, &S::nup_callsign},
    {"Bdcst Callsign", K::String, 10, &S::bdcst_callsign},
    {"TLM File", K::String, 260, &S::tlm_file},
    {"Satellite Type", K::Integer, 0, &S::satellite_type},
    {"State", K::Integer, 0, &S::state},
    {"Enable SatGate", K::Integer, 0, &S::enable_satgate},
    {"Program", K::String, 260, &S::program},
    {"Directory", K::String, 260, &S::directory},
    {"Pass Check Time", K::Integer, 0, &S::pass_check_time},
    {"Min Elevation", K::Integer, 0, &S::min_elevation},
    {"Min Pass Time", K::Integer, 0, &S::min_pass_time},
    {"Priority", K::Integer, 0, &S::priority},
    {"Run", K::Integer, 0, &S::run},
    {"Start Time", K::Integer, 0, &S::start_time},
    {"Pass Checking", K::Integer, 0, &S::pass_checking},
    {"Satellite Directory", K::String, 260, &S::satellite_directory},
    {"Message Directory", K::String, 260, &S::message_directory},
    {"My Message Directory", K::String, 260, &S::my_message_directory},
    {"Image Directory", K::String, 260, &S::image_directory},
    {"Keps Directory", K::String, 260, &S::keps_directory},
    {"Binary Directory", K::String, 260, &S::binary_directory},
    {"DLX Directory", K::String, 260, &S::dlx_directory},
    {"Unknown Directory", K::String, 260, &S::unknown_directory},
    {"BBS Directory", K::String, 260, &S::bbs_directory},
    {"Log Directory", K::String, 260, &S::log_directory},
    // "Uplink 1".."Uplink 4" and "Downlink 1".."Downlink 4" are handled beside the table.
    {"Default Uplink", K::Integer, 0, &S::default_uplink},
    {"Default Downlink", K::Integer, 0, &S::default_downlink},
    {"Downlink Mode", K::Integer, 0, &S::downlink_mode},
    {"Uplink Mode", K::Integer, 0, &S::uplink_mode},
    {"Uplinks", K::Integer, 0, &S::uplinks},
    {"Uplink IF", K::Double, 0, &S::uplink_if},
    {"Downlink IF", K::Double, 0, &S::downlink_if},
    {"TxBuffer", K::Integer, 0, &S::tx_buffer},
    {"RxBuffer", K::Integer, 0, &S::rx_buffer},
    {"Port", K::Integer, 0, &S::port},
    {"TNC Type", K::Integer, 0, &S::tnc_type},
    {"Tx Port", K::Integer, 0, &S::tx_port},
    {"Speed", K::Integer, 0, &S::speed},
    {"Uplink Speed", K::Integer, 0, &S::uplink_speed},
    {"Tx Tail", K::Integer, 0, &S::tx_tail},
    {"Tx Delay", K::Integer, 0, &S::tx_delay},
    {"Retries", K::Integer, 0, &S::retries},
    {"MaxFrame", K::Integer, 0, &S::max_frame},
    {"Retry Time", K::Integer, 0, &S::retry_time},
    {"PacLength", K::Integer, 0, &S::pac_length},
    {"Test SMACK", K::Integer, 0, &S::test_smack},
    {"DSP Mode", K::StringBytes, 6, &S::dsp_mode},
    {"Use Clock", K::Integer, 0, &S::use_clock},
    {"Uploading", K::Integer, 0, &S::uploading},
    {"Auto Freq", K::Integer, 0, &S::auto_freq},
    {"Log KISS", K::Integer, 0, &S::log_kiss},
    {"Log Telemetry", K::Integer, 0, &S::log_telemetry},
    {"Grab All", K::Integer, 0, &S::grab_all},
    {"Block BBS", K::Integer, 0, &S::block_bbs},
    {"DL Mine", K::Integer, 0, &S::dl_mine},
    {"Run Dispo", K::Integer, 0, &S::run_dispo},
    {"Auto Fill", K::Integer, 0, &S::auto_fill},
    {"Ack Receipt", K::Integer, 0, &S::ack_receipt},
    {"Change Freq", K::Integer, 0, &S::change_freq},
    {"Open Tessel", K::Integer, 0, &S::open_tessel},
    {"Close Tessel", K::Integer, 0, &S::close_tessel},
    {"Bdcst Custom", K::Integer, 0, &S::bdcst_custom},
    {"Tail Action", K::Integer, 0, &S::tail_action},
    {"Dir Priority", K::Integer, 0, &S::dir_priority},
    {"Proc Threshold", K::Integer, 0, &S::proc_threshold},
    {"Update Keps", K::Integer, 0, &S::update_keps},
    {"New Pass Check", K::Integer, 0, &S::new_pass_check},
    {"Inactivity Timeout", K::Integer, 0, &S::inactivity_timeout},
    {"Up-to-date Timeout", K::Integer, 0, &S::up_to_date_timeout},
    {"SatGate Reject", K::String, 256, &S::satgate_reject},
    {"SatGate Callsign", K::String, 10, &S::satgate_callsign},
    {"SatGate Collect", K::String, 100, &S::satgate_collect},
    {"SatGate Priority", K::Integer, 0, &S::satgate_priority},
};

// Values no dialog writes: read, but written only when they differ from the engine's default.
const Field<S> engine_only_table[] = {
    {"Catalogue", K::Integer, 0, &S::catalogue},
    {"Bdcst Frame", K::Integer, 0, &S::bdcst_frame},
    {"Zero Start", K::Integer, 0, &S::zero_start},
    {"Ignore Shut", K::Integer, 0, &S::ignore_shut},
    {"CRC Close", K::Integer, 0, &S::crc_close},
    {"Tx Request", K::Integer, 0, &S::tx_request},
    {"Max Holes", K::Integer, 0, &S::max_holes},
    {"TNC Address", K::String, 260, &S::tnc_address},
};

std::string link_name(const char* kind, int i) { return std::string(kind) + " " + std::to_string(i + 1); }

bool is_directory_field(const Field<S>& f)
{
    std::string_view n(f.name);
    return n.size() > 10 && n.substr(n.size() - 9) == "Directory" && n != "Directory";
}

} // namespace

std::span<const Field<SatelliteRecord>> satellite_fields() { return satellite_table; }

CaseRule case_rule_of(Program program) { return program == Program::Dispo ? CaseRule::Exact : CaseRule::IgnoreCase; }

std::uint32_t retry_time_from_page(std::uint32_t seconds) { return (seconds > 60 ? 6 : seconds) * 1000; }

std::string normalise_directory(std::string_view dir)
{
    std::string out(dir);
    while (out.size() > 1 && (out.back() == '/' || out.back() == '\\'))
        out.pop_back();
    return out;
}

std::string prepare_directory(std::string_view dir, std::vector<std::string>& messages)
{
    std::string out = normalise_directory(dir);
    if (out.empty())
        return out;
    std::error_code ec;
    if (!fs::is_directory(out, ec)) {
        fs::create_directories(out, ec);
        if (ec || !fs::is_directory(out))
            messages.push_back("Unable to create directory \"" + out + "\"");
    }
    return out;
}

SatelliteRecord new_satellite(std::string_view name, SatelliteType type, std::string_view orva_directory)
{
    SatelliteRecord r;
    r.name = std::string(name);
    r.satellite_type = static_cast<std::uint32_t>(type);
    r.state = 0;
    r.priority = 0;
    r.downlink_mode = 2;
    r.uplink_mode = 2;
    r.uplinks = 0;
    r.rx_buffer = 16384;
    r.uplink_speed = 9600;
    r.tx_tail = 30;
    r.tx_delay = 150;
    r.retries = 8;
    r.max_frame = 3;
    r.retry_time = 3000;
    r.pac_length = 255;
    r.auto_freq = 0;
    r.close_tessel = 0;
    r.bdcst_custom = 2;
    r.tail_action = 1;
    r.update_keps = 0;
    r.satgate_priority = 9;
    fs::path suite = normalise_directory(orva_directory);
    if (type == SatelliteType::PacSat)
        r.program = (suite / "BREK.EXE").string() + " %S";
    fs::path sat = suite / std::string(name);
    r.satellite_directory = sat.string();
    r.message_directory = (sat / "Msgs").string();
    r.my_message_directory = (sat / "MyMsgs").string();
    r.image_directory = (sat / "Images").string();
    r.keps_directory = (sat / "Keps").string();
    r.binary_directory = (sat / "Binary").string();
    r.dlx_directory = (sat / "DLX").string();
    r.unknown_directory = (sat / "Unknown").string();
    r.bbs_directory = (sat / "BBS").string();
    r.log_directory = (sat / "Logs").string();
    return r;
}

SatelliteRecord read_satellite_key(const platform::Store& store, std::string_view key_path)
{
    SatelliteRecord r;
    read_fields(store, key_path, satellite_fields(), r);
    read_fields(store, key_path, std::span<const Field<S>>(engine_only_table), r);
    for (int i = 0; i < 4; ++i) {
        if (auto v = store.read_binary(key_path, link_name("Uplink", i), 8))
            r.uplink[i] = detail::decode_double_le(*v);
        if (auto v = store.read_binary(key_path, link_name("Downlink", i), 8))
            r.downlink[i] = detail::decode_double_le(*v);
    }
    if (r.priority < 1 || r.priority > 100)
        r.priority = 10;
    return r;
}

std::optional<std::string> find_satellite_key(const platform::Store& store, std::string_view name, CaseRule rule)
{
    for (std::uint32_t i = 0; i < platform::max_enumeration; ++i) {
        auto sub = store.enumerate_subkeys(keys::satellites, i);
        if (!sub)
            break;
        std::string path = platform::join_key_path(keys::satellites, *sub);
        auto stored = store.read_string(path, "Name", 13);
        if (!stored)
            continue;
        if (rule == CaseRule::Exact ? *stored == name : equal_ignoring_case(*stored, name))
            return path;
    }
    return std::nullopt;
}

Result<SatelliteRecord> read_satellite(const platform::Store& store, std::string_view name, Program reader)
{
    auto path = find_satellite_key(store, name, case_rule_of(reader));
    if (!path)
        return make_error("satellite \"" + std::string(name) + "\" is not in the Orva configuration");
    return read_satellite_key(store, *path);
}

std::vector<std::string> list_satellites(const platform::Store& store)
{
    std::vector<std::string> names;
    for (const auto& sub : store.subkeys(keys::satellites))
        if (auto n = store.read_string(platform::join_key_path(keys::satellites, sub), "Name", 13))
            names.push_back(*n);
    return names;
}

Result<std::string> create_satellite_key(platform::Store& store, std::string_view name)
{
    if (name.empty() || name.find('\\') != std::string_view::npos)
        return make_error("invalid satellite name \"" + std::string(name) + "\"");
    std::string path = platform::join_key_path(keys::satellites, name);
    for (int n = 0;; ++n) {
        auto created = store.create_key(path);
        if (!created)
            return created.error();
        if (*created)
            return path;
        if (n >= 10000)
            return make_error("no free key for satellite \"" + std::string(name) + "\"");
        path = platform::join_key_path(keys::satellites, std::string(name) + " [" + std::to_string(n) + "]");
    }
}

Result<WriteReport> write_satellite(platform::Store& store, std::string_view key_path, SatelliteRecord record)
{
    WriteReport report;
    bool pacsat = record.type() == SatelliteType::PacSat;
    for (const auto& f : satellite_fields()) {
        if (is_directory_field(f)) {
            std::string& dir = record.*std::get<std::string S::*>(f.member);
            dir = pacsat ? prepare_directory(dir, report.messages) : normalise_directory(dir);
        }
        if (std::string_view(f.name) == "DSP Mode" && record.dsp_mode.size() > 4)
            return make_error("\"DSP Mode\" is longer than 4 characters");
        if (auto s = write_field(store, key_path, f, record); !s)
            return s.error();
        if (std::string_view(f.name) == "Log Directory") {
            // The link frequencies stand here in the station's order of values.
            for (int i = 0; i < 4; ++i) {
                std::uint8_t b[8];
                detail::encode_double_le(record.uplink[i], b);
                if (auto s = store.write_binary(key_path, link_name("Uplink", i), b); !s)
                    return s.error();
            }
        }
        if (std::string_view(f.name) == "Default Uplink") {
            for (int i = 0; i < 4; ++i) {
                std::uint8_t b[8];
                detail::encode_double_le(record.downlink[i], b);
                if (auto s = store.write_binary(key_path, link_name("Downlink", i), b); !s)
                    return s.error();
            }
        }
    }
    SatelliteRecord defaults;
    for (const auto& f : engine_only_table) {
        bool differs = std::visit(
            [&](auto member) { return record.*member != defaults.*member; }, f.member);
        if (differs || store.read_value(key_path, f.name).ok())
            if (auto s = write_field(store, key_path, f, record); !s)
                return s.error();
    }
    return report;
}

Status delete_satellite(platform::Store& store, std::string_view name)
{
    auto path = find_satellite_key(store, name, CaseRule::IgnoreCase);
    if (!path)
        return make_error("satellite \"" + std::string(name) + "\" is not in the Orva configuration");
    return store.delete_key(*path);
}

} // namespace orva::settings
