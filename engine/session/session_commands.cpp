// The commands Brek's session answers: window messages and DDE pokes, the Fill File and File
// Information boxes, the settings boxes of the session and the programs it starts.
#include "engine/session/session_impl.h"

#include "engine/session/file_header_lookup.h"

#include <algorithm>

namespace orva::engine {

using namespace session_detail;

namespace {

constexpr std::size_t kPokeText = 100;

// The upload link's parameters as the TNC box holds them; the rate is the satellite's.
DataLinkSettings link_settings_of(const TncSettingsBox& box, const settings::SatelliteRecord& rec)
{
    DataLinkSettings l = data_link_settings_from(rec);
    l.t1 = LinkTime(std::clamp<std::uint32_t>(box.retry_time_s, 1, 60) * 1000);
    l.tx_delay = LinkTime(std::min<std::uint32_t>(box.tx_delay_ms, 2500));
    l.window = int(std::clamp<std::uint32_t>(box.max_frame, 1, 7));
    l.retries = int(std::clamp<std::uint32_t>(box.retries, 1, 255));
    l.pac_length = std::clamp<std::uint32_t>(box.packet_length - 2, 10, 244);
    return l;
}

} // namespace

std::int32_t BrekSession::on_window_message(const platform::WindowMessage& m)
{
    auto& s = *impl_;
    switch (m.number) {
    case kMsgFlushDirectory:
        if (s.engine)
            s.engine->directory().flush_directory_file();
        return 0;
    case kMsgKeepAlive:
        if (s.engine)
            s.engine->scheduler().keep_alive(std::uint64_t(s.now_s()));
        return 0;
    case kMsgTail: {
        const int action = m.word >= 1 && m.word <= 3 ? int(m.word) : s.broadcast.tail_action;
        // A negative or small budget counts as the least one.
        const std::uint32_t budget = m.long_param < 2048 ? 2048u : std::uint32_t(m.long_param);
        s.broadcast.tail_action = action;
        s.tail_budget = budget;
        s.tail_action = action;
        if (s.engine)
            s.engine->scheduler().set_tail(action, budget);
        return 0;
    }
    case kMsgQuery:
        return 0;
    case kMsgListenOnly:
        if (m.word == 1 && !s.listen_only) {
            s.listen_only = true;
            s.add_line("Pass will listen only", LineColour::Red);
            s.temporary.auto_fill = false;
            s.temporary.uploading = false;
            s.apply_settings();
        }
        return 0;
    case kMsgPassEnd:
        // Station time as on the wire; read unsigned so that it still works after 2038.
        s.pass_end = std::int64_t(std::uint32_t(m.long_param));
        if (s.engine)
            s.engine->set_pass_end(s.pass_end);
        s.refresh(true);
        return 0;
    case kMsgUploadBoxClose:
        s.notify([](SessionObserver& o) { o.on_upload_box_close(); });
        s.refresh(true);
        return 0;
    case kMsgClose:
        request_close();
        return 0;
    default:
        return 0;
    }
}

bool BrekSession::on_poke(std::span<const std::uint8_t> data)
{
    std::string text(data.begin(), data.begin() + std::ptrdiff_t(std::min(data.size(), kPokeText)));
    if (auto nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n'))
        text.pop_back();
    impl_->add_line(text, LineColour::Red);
    return true;
}

std::optional<std::vector<std::uint8_t>> BrekSession::last_data(const std::string& topic) const
{
    const auto& s = *impl_;
    const auto& d = topic == "Directory" ? s.last_pfh : topic == "Receive" ? s.last_tlm : s.last_pfh;
    if ((topic != "Directory" && topic != "Receive") || d.empty())
        return std::nullopt;
    return d;
}

std::vector<std::uint32_t> BrekSession::fill_candidates() const
{
    std::vector<std::uint32_t> out;
    auto& s = *impl_;
    if (!s.engine || !s.engine->directory().table())
        return out;
    const StatusTable& t = *s.engine->directory().table();
    for (std::size_t i = 0; i < kStatusRecords; ++i) {
        const auto r = t.record(i);
        if (r.file_number && (r.status & kCodeMask) > kCodeGrab)
            out.push_back(r.file_number);
    }
    return out;
}

void BrekSession::fill_file(std::uint32_t file_number, bool auto_override)
{
    auto& s = *impl_;
    if (!s.engine || file_number == 0)
        return;
    const auto code = s.engine->directory().get_download_status(file_number);
    if (code && *code == kCodeDownloaded) {
        s.add_line("Error. File " + hex(file_number) + " already downloaded.", LineColour::DarkRed);
        return;
    }
    if (!code || *code < kCodeAuto3) {
        s.engine->directory().set_download_status(file_number, kCodeAuto3, true);
        s.add_line("File " + hex(file_number) + " set for AUTO download.", LineColour::Black);
    }
    if (auto_override)
        s.engine->scheduler().set_repeat(true);
    s.engine->scheduler().queue_manual_request(file_number);
}

void BrekSession::fill_directory(bool auto_override)
{
    auto& s = *impl_;
    if (!s.engine)
        return;
    if (auto_override)
        s.engine->scheduler().set_repeat(true);
    s.engine->scheduler().queue_manual_request(0);
}

void BrekSession::send_fill_request(std::uint32_t file_number)
{
    auto& s = *impl_;
    if (s.engine && file_number)
        s.engine->scheduler().queue_manual_request(file_number);
}

std::optional<EntryText> BrekSession::Impl::find_entry(std::uint32_t file_number)
{
    if (auto it = headers.find(file_number); it != headers.end())
        return it->second;
    if (engine)
        if (auto slot = engine->files().find_slot(file_number)) {
            const DownloadSlot& d = engine->files().slot(*slot);
            if (auto h = read_partial_header(d.fd, d.holes, file_number))
                return headers[file_number] = entry_text(*h);
        }
    if (!folder.empty())
        if (auto h = find_directory_header(folder, file_number))
            return headers[file_number] = entry_text(*h);
    return std::nullopt;
}

std::optional<FileInformation> BrekSession::file_information(std::uint32_t file_number) const
{
    auto& s = *impl_;
    if (!s.engine)
        return std::nullopt;
    const auto slot = s.engine->files().find_slot(file_number);
    if (!slot)
        return std::nullopt;
    s.make_table();
    const DownloadSlot& d = s.engine->files().slot(*slot);
    FileInformation info;
    info.file_number = file_number;
    info.holes = d.holes.count();
    info.file_size = d.length;
    info.percent = d.percent;
    info.status = s.engine->directory().get_download_status(file_number).value_or(kCodeGrab);
    info.slot_token = s.slot_tokens[*slot];
    if (auto e = s.find_entry(file_number)) {
        info.to = e->to;
        info.from = e->from;
        info.title = e->title;
        info.file_type = e->file_type;
        if (!info.file_size)
            info.file_size = e->file_size;
    }
    return info;
}

std::optional<FileInformation> BrekSession::directory_entry(std::uint32_t file_number) const
{
    auto& s = *impl_;
    if (!file_number || s.state == SessionState::NoPass)
        return std::nullopt;
    if (auto slotted = file_information(file_number))
        return slotted;
    const auto e = s.find_entry(file_number);
    if (!e)
        return std::nullopt;
    FileInformation info;
    info.file_number = file_number;
    info.to = e->to;
    info.from = e->from;
    info.title = e->title;
    info.file_type = e->file_type;
    info.file_size = e->file_size;
    if (s.engine)
        info.status = s.engine->directory().get_download_status(file_number).value_or(kCodeGrab);
    return info;
}

std::string BrekSession::apply_file_information(const FileInformation& opened, int status, bool request_now)
{
    auto& s = *impl_;
    std::optional<std::size_t> slot;
    if (s.engine) {
        s.make_table();
        slot = s.engine->files().find_slot(opened.file_number);
    }
    if (!slot || s.slot_tokens[*slot] != opened.slot_token)
        return "The file you are viewing has been closed since you opened this window. No action will be taken\n";
    const std::uint32_t n = opened.file_number;
    const int current = s.engine->directory().get_download_status(n).value_or(kCodeGrab);
    if (status == kCodeNever) {
        s.engine->files().delete_download(n);
    } else if (status == kCodePriority && current == kCodeMine) {
        // Priority keeps a file of ours as it is.
    } else if (status >= kCodeGrab && status <= kCodeMine) {
        s.engine->directory().set_download_status(n, status, true);
    }
    if (request_now && status != kCodeNever)
        s.engine->scheduler().request_file_now(n, std::uint64_t(s.now_s()));
    s.refresh(false);
    return {};
}

void BrekSession::set_directory_line_status(std::uint32_t file_number, int status)
{
    auto& s = *impl_;
    if (!s.engine || !file_number)
        return;
    if (status == kCodePriority || status == kCodeAuto || status == kCodeGrab || status == kCodeNever)
        s.engine->directory().set_download_status(file_number, status, true);
}

void BrekSession::set_log_kiss(bool on)
{
    auto& s = *impl_;
    if (s.config.offline)
        return; // a replay never captures what it reads
    s.log_kiss = on;
    if (s.state == SessionState::PassOpen && s.recorder)
        s.recorder->set_kiss_capture(on, whole_seconds(s.now()));
}

void BrekSession::set_log_telemetry(bool on)
{
    auto& s = *impl_;
    if (s.config.offline)
        return;
    s.log_telemetry = on;
    if (s.state == SessionState::PassOpen && s.recorder)
        s.recorder->set_telemetry_capture(on, whole_seconds(s.now()));
}
bool BrekSession::log_kiss() const { return impl_->log_kiss; }
bool BrekSession::log_telemetry() const { return impl_->log_telemetry; }

void BrekSession::Impl::apply_settings()
{
    if (!engine)
        return;
    auto r = engine->scheduler().settings();
    r.auto_fill = temporary.auto_fill && broadcast.auto_fill && !listen_only;
    r.bdcst_custom = broadcast.bdcst_custom;
    r.tail_action = broadcast.tail_action;
    r.dir_priority = broadcast.dir_priority;
    r.inactivity_timeout = general.inactivity_timeout_s;
    r.up_to_date_timeout = general.up_to_date_timeout_s;
    engine->scheduler().set_settings(r);
    auto f = engine->files().settings();
    f.grab_all = general.grab_all;
    f.block_bbs = general.block_bbs;
    f.proc_threshold = general.proc_threshold;
    engine->files().set_settings(f);
    auto d = engine->directory().settings();
    d.dl_mine = !general.download_your_uploads;
    engine->directory().set_settings(d);
    engine->set_print_headers(general.print_headers);
    engine->set_run_dispo(general.run_dispo);
    if (upload) {
        upload->set_uploading(temporary.uploading && !listen_only);
        upload->set_auto_freq(temporary.auto_freq);
    }
}

TemporarySettings BrekSession::temporary_settings() const { return impl_->temporary; }
void BrekSession::set_temporary_settings(const TemporarySettings& settings)
{
    if (settings.uploading && !impl_->temporary.uploading && !impl_->uploads_off.empty())
        impl_->add_line(impl_->uploads_off, LineColour::Red);
    impl_->temporary = settings;
    impl_->apply_settings();
}

FrequencyChoice BrekSession::frequencies() const
{
    const auto& s = *impl_;
    FrequencyChoice f;
    for (int i = 0; i < 4; ++i)
        f.uplinks[i] = s.rec.uplink[i];
    f.downlinks[0] = s.rec.downlink[0];
    f.downlinks[1] = s.rec.downlink[1];
    f.uplink = s.uplink;
    f.downlink = s.downlink;
    f.offset_hz = s.offset_hz;
    return f;
}

void BrekSession::change_frequencies(const FrequencyChoice& choice)
{
    auto& s = *impl_;
    if (choice.uplink != s.uplink && choice.uplink >= 1 && choice.uplink <= 4)
        s.select_uplink(choice.uplink);
    if (choice.downlink != s.downlink && choice.downlink >= 1 && choice.downlink <= 2) {
        s.downlink = choice.downlink;
        s.add_line("Selecting downlink " + std::to_string(s.downlink), LineColour::Black);
        s.tell_helmo(kMsgSelectDownlink, std::uint32_t('0' + s.downlink));
    }
    const int offset = std::clamp(choice.offset_hz, -9999, 9999);
    if (offset != s.offset_hz) {
        s.offset_hz = offset;
        s.add_line("Changing D/L offset to " + std::to_string(offset) + "Hz", LineColour::Black);
        // The word carries the offset as a signed 16-bit value.
        s.tell_helmo(kMsgDownlinkOffset, std::uint32_t(std::uint16_t(std::int16_t(offset))));
    }
}

GeneralOptions BrekSession::general_options() const { return impl_->general; }
void BrekSession::set_general_options(const GeneralOptions& options)
{
    impl_->general = options;
    if (impl_->general.inactivity_timeout_s == 0)
        impl_->general.inactivity_timeout_s = 86400;
    if (impl_->general.up_to_date_timeout_s == 0)
        impl_->general.up_to_date_timeout_s = 86400;
    impl_->apply_settings();
}

TncSettingsBox BrekSession::tnc_settings() const { return impl_->tnc; }
void BrekSession::set_tnc_settings(const TncSettingsBox& box)
{
    auto& s = *impl_;
    s.tnc = clamp_tnc_settings(box);
    if (s.upload)
        s.upload->set_link_settings(link_settings_of(s.tnc, s.rec));
    if (s.tnc_open) {
        // C0 01 D C0 C0 04 T C0, escaped: a delay of 1920 ms is C0 itself, 2190 ms is DB.
        std::vector<std::uint8_t> bytes{0xC0};
        const std::uint8_t delay[] = {0x01, std::uint8_t(s.tnc.tx_delay_ms / 10)};
        kiss_escape(delay, bytes);
        bytes.insert(bytes.end(), {0xC0, 0xC0});
        const std::uint8_t tail[] = {0x04, std::uint8_t(s.tnc.tx_tail_ms / 10)};
        kiss_escape(tail, bytes);
        bytes.push_back(0xC0);
        s.host.write_tnc(bytes);
    }
}

BroadcastOptions BrekSession::broadcast_options() const { return impl_->broadcast; }
std::optional<std::uint32_t> BrekSession::byte_budget() const
{
    if (impl_->engine)
        if (auto b = impl_->engine->scheduler().byte_budget())
            return b;
    return impl_->tail_budget;
}
void BrekSession::set_broadcast_options(const BroadcastOptions& options)
{
    auto& s = *impl_;
    s.broadcast = options;
    s.broadcast.bdcst_custom = std::clamp(options.bdcst_custom, 1, 4);
    s.broadcast.tail_action = std::clamp(options.tail_action, 1, 3);
    s.tail_action = s.broadcast.tail_action;
    s.broadcast.dir_priority = std::clamp(options.dir_priority, 5, 10);
    s.temporary.auto_fill = options.auto_fill;
    s.apply_settings();
}

void BrekSession::transmitter_request()
{
    if (impl_->engine && impl_->state == SessionState::PassOpen)
        impl_->engine->transmitter_request();
}

void BrekSession::disconnect_upload()
{
    if (impl_->upload)
        impl_->upload->disconnect();
    impl_->refresh(true);
}

bool BrekSession::ask_viewer_for_information(std::uint32_t box, std::uint32_t file_number)
{
    auto& s = *impl_;
    if (s.satellite.empty() || !s.host.window_exists(s.tessel()))
        return false;
    return s.host.post_message(s.tessel(), {kMsgFileInformation, box, std::int32_t(file_number)}).ok();
}

void BrekSession::on_window_texts(const platform::WindowMessage& message, const std::vector<std::string>& texts)
{
    if (message.number != kMsgFileInformation || texts.size() < 5)
        return;
    impl_->notify([&](SessionObserver& o) {
        o.on_file_information_fields(message.word, std::uint32_t(message.long_param), texts);
    });
}

void BrekSession::open_directory_viewer()
{
    impl_->launch({"TESSEL.EXE", impl_->satellite}, platform::ShowMode::Normal);
}

void BrekSession::send_message()
{
    impl_->launch({"QUILLET.EXE", "S~" + impl_->satellite}, platform::ShowMode::Normal);
}

std::vector<std::string> BrekSession::selectable_satellites() const
{
    std::vector<std::string> out;
    for (const auto& r : impl_->host.satellites())
        if (r.satellite_type == 0)
            out.push_back(r.name);
    return out;
}

} // namespace orva::engine
