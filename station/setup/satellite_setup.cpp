#include "station/setup/satellite_setup.h"

#include <cstdio>
#include <filesystem>

#include "common/file_names.h"
#include "common/settings/keys.h"

namespace orva::station::setup {

namespace fs = std::filesystem;
using R = SatelliteRecord;
using F = FormField<R>;

namespace {

// A 260-byte path buffer keeps 259 characters and its NUL.
constexpr int kPath = 259;

F text(const char* page, const char* label, const char* value, int limit, std::string R::*m)
{
    return F{page, label, value, Input::Text, limit, {}, [m](const R& r) { return r.*m; },
             [m](R& r, const std::string& t) { r.*m = t; }};
}

// Typed digits, turned into the stored number by `to_store` and shown back by `to_page`.
F digits(const char* page, const char* label, const char* value, int limit, std::uint32_t R::*m,
         std::uint32_t (*to_store)(std::uint32_t) = nullptr, std::uint32_t (*to_page)(std::uint32_t) = nullptr)
{
    return F{page, label, value, Input::Digits, limit, {},
             [m, to_page](const R& r) { return std::to_string(to_page ? to_page(r.*m) : r.*m); },
             [m, to_store](R& r, const std::string& t) {
                 std::uint32_t v = digits_value(t);
                 r.*m = to_store ? to_store(v) : v;
             }};
}

F flag(const char* page, const char* label, const char* value, std::uint32_t R::*m)
{
    return F{page, label, value, Input::Flag, 0, {}, [m](const R& r) { return r.*m ? "1" : "0"; },
             [m](R& r, const std::string& t) { r.*m = t == "1" ? 1 : 0; }};
}

// A list whose stored value is `base` + position, or `base` - position with `down`.
F listed(const char* page, const char* label, const char* value, std::vector<std::string> choices, std::uint32_t R::*m,
         std::int32_t base, bool down = false)
{
    auto encode = [base, down](std::size_t pos) {
        return static_cast<std::uint32_t>(down ? base - static_cast<std::int32_t>(pos) : base + static_cast<std::int32_t>(pos));
    };
    return F{page, label, value, Input::Choice, 0, choices,
             [m, choices, encode](const R& r) {
                 for (std::size_t i = 0; i < choices.size(); ++i)
                     if (encode(i) == r.*m)
                         return choices[i];
                 return std::string();
             },
             [m, choices, encode](R& r, const std::string& t) { r.*m = encode(*choice_index(choices, t)); }};
}

// A list of numbers stored as themselves (speeds).
F numbers(const char* page, const char* label, const char* value, std::vector<std::string> choices, std::uint32_t R::*m)
{
    return F{page, label, value, Input::Choice, 0, choices, [m](const R& r) { return std::to_string(r.*m); },
             [m](R& r, const std::string& t) { r.*m = digits_value(t); }};
}

std::string mhz_text(double v)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%0.6f", v);
    return buf;
}

F frequency(const char* label, const char* value, double (R::*arr)[4], int i)
{
    return F{kPageFrequencies, label, value, Input::Decimal, 12, {}, [arr, i](const R& r) { return mhz_text((r.*arr)[i]); },
             [arr, i](R& r, const std::string& t) { (r.*arr)[i] = decimal_value(t); }};
}

std::vector<std::string> com_ports()
{
    std::vector<std::string> v;
    for (int i = 1; i <= 12; ++i)
        v.push_back("COM" + std::to_string(i));
    return v;
}

const std::vector<std::string> kModes = {"FM", "FM-W", "FM-N", "USB", "LSB", "CW", "CW-N"};

std::vector<F> build_form()
{
    const char* G = kPageGeneral;
    const char* S = kPageScheduling;
    const char* Q = kPageFrequencies;
    const char* T = kPageTnc;
    const char* D = kPageDirectories;
    const char* B = kPageBrek;
    const char* W = kPageSatGate;
    std::vector<F> v = {
        text(G, "Name", "Name", 11, &R::name),
        listed(G, "Satellite Type", "Satellite Type", {"PacSat", "Analogue", "Mailbox"}, &R::satellite_type, 0),
        text(G, "TLM Config File", "TLM File", kPath, &R::tlm_file),
        listed(G, "State", "State", {"Track and Display", "Display", "Disable"}, &R::state, 0),
        flag(G, "Enable SatGate operation", "Enable SatGate", &R::enable_satgate),
        text(G, "Broadcast Callsign", "Bdcst Callsign", 9, &R::bdcst_callsign),
        text(G, "BBS Callsign", "BBS Callsign", 9, &R::bbs_callsign),
        text(G, "NUP Callsign", "NUP Callsign", 9, &R::nup_callsign),

        text(S, "Program", "Program", kPath, &R::program),
        text(S, "Directory", "Directory", kPath, &R::directory),
        listed(S, "Run as", "Run", {"Minimised", "Maximised", "Normal"}, &R::run, 0),
        digits(S, "Pass check time", "Pass Check Time", 4, &R::pass_check_time),
        flag(S, "Enable pass checking", "Pass Checking", &R::pass_checking),
        digits(S, "Priority", "Priority", 4, &R::priority),
        digits(S, "Minimum elevation", "Min Elevation", 2, &R::min_elevation),
        digits(S, "Minimum pass time", "Min Pass Time", 4, &R::min_pass_time),
        digits(S, "Time before pass to run", "Start Time", 4, &R::start_time),
    };
    for (int i = 0; i < 4; ++i) {
        static const char* up[] = {"Uplink 1", "Uplink 2", "Uplink 3", "Uplink 4"};
        v.push_back(frequency(up[i], up[i], &R::uplink, i));
    }
    for (int i = 0; i < 4; ++i) {
        static const char* down[] = {"Downlink 1", "Downlink 2", "Downlink 3", "Downlink 4"};
        v.push_back(frequency(down[i], down[i], &R::downlink, i));
    }
    std::vector<F> rest = {
        listed(Q, "Default U/L", "Default Uplink", {"U/L 1", "U/L 2", "U/L 3", "U/L 4"}, &R::default_uplink, 1),
        listed(Q, "Default D/L", "Default Downlink", {"D/L 1", "D/L 2", "D/L 3", "D/L 4"}, &R::default_downlink, 1),
        listed(Q, "Uplink Mode", "Uplink Mode", kModes, &R::uplink_mode, 0),
        listed(Q, "Downlink Mode", "Downlink Mode", kModes, &R::downlink_mode, 0),
        digits(Q, "Num. Uplinks", "Uplinks", 2, &R::uplinks),

        digits(T, "Maxframe", "MaxFrame", 1, &R::max_frame),
        digits(T, "Retries", "Retries", 2, &R::retries),
        digits(T, "Retry time", "Retry Time", 2, &R::retry_time, settings::retry_time_from_page,
               [](std::uint32_t ms) { return ms / 1000; }),
        digits(T, "TX Delay", "Tx Delay", 4, &R::tx_delay, [](std::uint32_t ms) { return ms > 2500 ? 330u : ms; }),
        digits(T, "TX Tail", "Tx Tail", 4, &R::tx_tail, [](std::uint32_t ms) { return ms > 2500 ? 330u : ms; }),
        digits(T, "Packet Length", "PacLength", 3, &R::pac_length,
               [](std::uint32_t n) { return n < 20 || n > 255 ? 245u : n; }),
        flag(T, "Test for SMACK TNC", "Test SMACK", &R::test_smack),
        listed(T, "Port", "Port", com_ports(), &R::port, 1),
        numbers(T, "Speed", "Speed", {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "76800", "115200"},
                &R::speed),
        numbers(T, "Uplink", "Uplink Speed", {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "76800"},
                &R::uplink_speed),
        digits(T, "TX Buffer Size", "TxBuffer", 5, &R::tx_buffer,
               [](std::uint32_t n) { return n < 256 || n > 32767 ? 2047u : n; }),
        digits(T, "RX Buffer Size", "RxBuffer", 5, &R::rx_buffer,
               [](std::uint32_t n) { return n < 256 || n > 32767 ? 8192u : n; }),
        listed(T, "TNC Type", "TNC Type",
               {"TNC-2", "PK-232", "DSP-12", "DSP-2232", "TheFirmWare", "KPC-9612", "PK-900", "None"}, &R::tnc_type, 1),
        text(T, "DSP Mode", "DSP Mode", 4, &R::dsp_mode),
        digits(T, "Tx Port", "Tx Port", 1, &R::tx_port),

        text(D, "Satellite", "Satellite Directory", kPath, &R::satellite_directory),
        text(D, "Message", "Message Directory", kPath, &R::message_directory),
        text(D, "My Messages", "My Message Directory", kPath, &R::my_message_directory),
        text(D, "Binary", "Binary Directory", kPath, &R::binary_directory),
        text(D, "Keps", "Keps Directory", kPath, &R::keps_directory),
        text(D, "Image", "Image Directory", kPath, &R::image_directory),
        text(D, "Log File", "Log Directory", kPath, &R::log_directory),
        text(D, "Unknown", "Unknown Directory", kPath, &R::unknown_directory),
        text(D, "DLX", "DLX Directory", kPath, &R::dlx_directory),
        text(D, "BBS", "BBS Directory", kPath, &R::bbs_directory),

        digits(B, "Inactivity timeout", "Inactivity Timeout", 3, &R::inactivity_timeout),
        digits(B, "Up to date timeout", "Up-to-date Timeout", 3, &R::up_to_date_timeout),
        flag(B, "Only quit when new pass", "New Pass Check", &R::new_pass_check),
        digits(B, "Processing thresh", "Proc Threshold", 6, &R::proc_threshold),
        flag(B, "Send auto fill requests", "Auto Fill", &R::auto_fill),
        listed(B, "Customisation", "Bdcst Custom",
               {"Don't interrupt directory", "Interrupt Dir for MY files", "Interrupt Dir for ANY files",
                "Interrupt when not in queue"},
               &R::bdcst_custom, 1),
        listed(B, "Action when at tail of queue", "Tail Action",
               {"Send new request", "Randomly send request", "Nothing"}, &R::tail_action, 1),
        listed(B, "Directory Priority", "Dir Priority", {"Priority", "Auto", "Auto1", "Auto2", "Auto3", "Grab"},
               &R::dir_priority, 9, true),
        flag(B, "Update keps from broadcast", "Update Keps", &R::update_keps),
        flag(B, "Use time to update clock", "Use Clock", &R::use_clock),
        flag(B, "Uploading enabled", "Uploading", &R::uploading),
        flag(B, "Automatically select U/L freq.", "Auto Freq", &R::auto_freq),
        flag(B, "Log KISS frames", "Log KISS", &R::log_kiss),
        flag(B, "Log Telemetry frames", "Log Telemetry", &R::log_telemetry),
        flag(B, "Grab all heard files", "Grab All", &R::grab_all),
        flag(B, "Block ALL BBS files", "Block BBS", &R::block_bbs),
        flag(B, "Don't download your uploads", "DL Mine", &R::dl_mine),
        flag(B, "Run Dispo after a pass", "Run Dispo", &R::run_dispo),
        flag(B, "Acknowledge receipt", "Ack Receipt", &R::ack_receipt),
        flag(B, "Load Tessel at start of pass", "Open Tessel", &R::open_tessel),
        flag(B, "Close Tessel at end of pass", "Close Tessel", &R::close_tessel),
        digits(B, "Change freq after", "Change Freq", 3, &R::change_freq),

        // Ten characters can be typed; the store keeps nine.
        F{W, "SatGate Callsign", "SatGate Callsign", Input::Text, 10, {}, [](const R& r) { return r.satgate_callsign; },
          [](R& r, const std::string& t) { r.satgate_callsign = t.substr(0, 9); }},
        text(W, "Collect mail for", "SatGate Collect", 99, &R::satgate_collect),
        text(W, "Reject callsigns", "SatGate Reject", 99, &R::satgate_reject),
        listed(W, "Mail priority", "SatGate Priority", {"Mine", "Priority", "Auto", "Auto1", "Auto2", "Auto3"},
               &R::satgate_priority, 10, true),
    };
    for (auto& f : rest)
        v.push_back(std::move(f));
    for (auto& f : v)
        if (std::string_view(f.label) == "Enable SatGate operation")
            f.enabled = [](const R& r) { return r.satellite_type == 0; };
    return v;
}

} // namespace

const std::vector<std::string>& satellite_pages()
{
    static const std::vector<std::string> pages = {kPageGeneral, kPageScheduling, kPageFrequencies, kPageTnc,
                                                   kPageDirectories, kPageBrek, kPageSatGate};
    return pages;
}

const std::vector<FormField<SatelliteRecord>>& satellite_form()
{
    static const std::vector<F> form = build_form();
    return form;
}

void set_new_satellite_paths(SatelliteRecord& record, const std::string& orva_directory)
{
    SatelliteRecord fresh = settings::new_satellite(record.name, record.type(), orva_directory);
    record.satellite_directory = fresh.satellite_directory;
    record.message_directory = fresh.message_directory;
    record.my_message_directory = fresh.my_message_directory;
    record.image_directory = fresh.image_directory;
    record.keps_directory = fresh.keps_directory;
    record.binary_directory = fresh.binary_directory;
    record.dlx_directory = fresh.dlx_directory;
    record.unknown_directory = fresh.unknown_directory;
    record.bbs_directory = fresh.bbs_directory;
    record.log_directory = fresh.log_directory;
    if (record.type() == settings::SatelliteType::PacSat)
        record.program = fresh.program;
}

SatelliteEdit SatelliteEdit::create(std::string orva_directory)
{
    SatelliteEdit e;
    e.record_ = settings::new_satellite("", settings::SatelliteType::PacSat, orva_directory);
    e.record_.program.clear();
    e.record_.satellite_type = kNoType; // the wizard starts with no type chosen
    e.orva_directory_ = std::move(orva_directory);
    return e;
}

Result<SatelliteEdit> SatelliteEdit::open(const platform::Store& store, std::string_view name)
{
    auto path = settings::find_satellite_key(store, name, settings::CaseRule::IgnoreCase);
    if (!path)
        return make_error("There is no satellite named \"" + std::string(name) + "\".");
    SatelliteEdit e;
    e.record_ = settings::read_satellite_key(store, *path);
    // The pages show a missing value as 0 or empty, not as a reader's default.
    for (const auto& f : settings::satellite_fields()) {
        auto stored = store.read_value(*path, f.name);
        std::visit(
            [&](auto member) {
                using T = std::remove_reference_t<decltype(e.record_.*member)>;
                if (!stored)
                    e.record_.*member = T{};
            },
            f.member);
        if (stored && std::string_view(f.name) == "Priority")
            e.record_.priority = store.read_integer(*path, "Priority").value_or(0);
    }
    e.key_path_ = *path;
    e.existing_ = true;
    return e;
}

std::optional<PageProblem> SatelliteEdit::leave_page(const std::string& page)
{
    if (page == kPageGeneral) {
        if (record_.name.empty())
            return PageProblem{"You must enter a satellite name.  The name must be the same as that used in the "
                               "keplerian elements.",
                               kSetupCaption, "Name"};
        if (record_.satellite_type > 2)
            return PageProblem{"You must select a satellite type.", kSetupCaption, "Satellite Type"};
        if (record_.type() != settings::SatelliteType::PacSat)
            record_.enable_satgate = 0;
        if (!existing_) {
            // Without the suite directory the paths would be relative to wherever Helmo runs.
            if (orva_directory_.empty())
                return PageProblem{kNoSuiteDirectory, kSetupCaption, "Name"};
            set_new_satellite_paths(record_, orva_directory_);
        }
    }
    if (page == kPageScheduling && record_.priority == 0 && record_.state == 0)
        return PageProblem{"You can't leave the PRIORITY set to 0 if you have this satellite set to automatically "
                           "run passes.",
                           kSetupCaption, "Priority"};
    return std::nullopt;
}

std::optional<PageProblem> SatelliteEdit::leave_all()
{
    for (const auto& p : satellite_pages()) {
        if (auto problem = leave_page(p))
            return problem;
        if (!existing_ && p == finish_page())
            break;
    }
    return std::nullopt;
}

std::optional<PageProblem> SatelliteEdit::apply_pages(const std::vector<std::string>& assignments, Status& error)
{
    std::vector<std::pair<const F*, std::string>> parsed;
    for (const auto& a : assignments) {
        auto kv = split_assignment(a);
        if (!kv) {
            error = kv.error();
            return std::nullopt;
        }
        const F* f = find_form_field(satellite_form(), kv->first);
        if (!f) {
            error = make_error("there is no field \"" + kv->first + "\"");
            return std::nullopt;
        }
        parsed.emplace_back(f, kv->second);
    }
    for (const auto& page : satellite_pages()) {
        for (const auto& [f, text] : parsed)
            if (page == f->page)
                if (Status s = apply_text(*f, record_, text); !s) {
                    error = s;
                    return std::nullopt;
                }
        if (auto problem = leave_page(page))
            return problem;
    }
    changed_ = true;
    return std::nullopt;
}

std::string SatelliteEdit::finish_page() const
{
    switch (record_.type()) {
    case settings::SatelliteType::Analogue:
        return kPageFrequencies;
    case settings::SatelliteType::Mailbox:
        return kPageTnc;
    default:
        return record_.enable_satgate ? kPageSatGate : kPageBrek;
    }
}

Result<settings::WriteReport> SatelliteEdit::save(platform::Store& store)
{
    // Another satellite of this name would make every lookup by name find only the first.
    if (auto other = settings::find_satellite_key(store, record_.name, settings::CaseRule::IgnoreCase);
        other && (!existing_ || !equal_ignoring_case(*other, key_path_)))
        return make_error(kNameExists);
    if (!existing_) {
        auto key = settings::create_satellite_key(store, record_.name);
        if (!key)
            return key.error();
        key_path_ = *key;
    }
    auto report = settings::write_satellite(store, key_path_, record_);
    if (!report)
        return report.error();
    existing_ = true;
    changed_ = true;
    return report;
}

} // namespace orva::station::setup
