#include "engine/session/brek_session.h"

#include <algorithm>

namespace orva::engine {

struct BrekSession::Impl {
    SessionConfig config;
    SessionHost& host;
    std::vector<SessionObserver*> observers;
    std::deque<StatusLine> lines;
    std::deque<std::string> monitor;
    StatusBoxes boxes;
    std::string title = "Brek";
    std::string satellite;
    SessionState state = SessionState::NoPass;
    bool finished = false;
    Impl(SessionConfig c, SessionHost& h) : config(std::move(c)), host(h) {}
};

BrekSession::BrekSession(SessionConfig config, SessionHost& host) : impl_(std::make_unique<Impl>(std::move(config), host)) {}
BrekSession::~BrekSession() = default;

void BrekSession::add_observer(SessionObserver* observer) { impl_->observers.push_back(observer); }
void BrekSession::remove_observer(SessionObserver* observer)
{
    std::erase(impl_->observers, observer);
}
void BrekSession::start(const std::string& satellite) { open_pass(satellite); }
bool BrekSession::open_pass(const std::string&) { return false; }
void BrekSession::request_close() { impl_->finished = true; }
void BrekSession::select_satellite(const std::string& satellite) { open_pass(satellite); }
void BrekSession::feed_tnc(std::span<const std::uint8_t>) {}
void BrekSession::tnc_lost(const std::string& reason) { post(reason, LineColour::Red); }
void BrekSession::poll() {}
std::optional<std::uint64_t> BrekSession::next_deadline() const { return std::nullopt; }
std::int32_t BrekSession::on_window_message(const platform::WindowMessage&) { return 0; }
bool BrekSession::on_poke(std::span<const std::uint8_t>) { return true; }
std::optional<std::vector<std::uint8_t>> BrekSession::last_data(const std::string&) const { return std::nullopt; }
std::vector<std::uint32_t> BrekSession::fill_candidates() const { return {}; }
void BrekSession::fill_file(std::uint32_t, bool) {}
void BrekSession::fill_directory(bool) {}
void BrekSession::send_fill_request(std::uint32_t) {}
std::optional<FileInformation> BrekSession::file_information(std::uint32_t) const { return std::nullopt; }
std::string BrekSession::apply_file_information(const FileInformation&, int, bool) { return {}; }
void BrekSession::set_directory_line_status(std::uint32_t, int) {}
void BrekSession::set_log_kiss(bool) {}
void BrekSession::set_log_telemetry(bool) {}
bool BrekSession::log_kiss() const { return false; }
bool BrekSession::log_telemetry() const { return false; }
TemporarySettings BrekSession::temporary_settings() const { return {}; }
void BrekSession::set_temporary_settings(const TemporarySettings&) {}
FrequencyChoice BrekSession::frequencies() const { return {}; }
void BrekSession::change_frequencies(const FrequencyChoice&) {}
GeneralOptions BrekSession::general_options() const { return {}; }
void BrekSession::set_general_options(const GeneralOptions&) {}
TncSettingsBox BrekSession::tnc_settings() const { return {}; }
void BrekSession::set_tnc_settings(const TncSettingsBox&) {}
BroadcastOptions BrekSession::broadcast_options() const { return {}; }
void BrekSession::set_broadcast_options(const BroadcastOptions&) {}
void BrekSession::transmitter_request() {}
void BrekSession::open_directory_viewer() {}
void BrekSession::send_message() {}
std::vector<std::string> BrekSession::selectable_satellites() const { return {}; }
SessionState BrekSession::state() const { return impl_->state; }
bool BrekSession::listen_only() const { return false; }
const std::string& BrekSession::title() const { return impl_->title; }
const std::string& BrekSession::satellite() const { return impl_->satellite; }
std::uint32_t BrekSession::catalogue() const { return 0; }
int BrekSession::uplink() const { return 1; }
int BrekSession::downlink() const { return 1; }
std::optional<std::int64_t> BrekSession::pass_end() const { return std::nullopt; }
std::vector<StatusLine> BrekSession::status_lines() const { return {impl_->lines.begin(), impl_->lines.end()}; }
std::vector<std::string> BrekSession::monitor_lines() const { return {impl_->monitor.begin(), impl_->monitor.end()}; }
StatusBoxes BrekSession::boxes() const { return impl_->boxes; }
std::vector<DownloadRow> BrekSession::download_table() const { return std::vector<DownloadRow>(kTableRows); }
InformationFigures BrekSession::information() const { return {}; }
bool BrekSession::finished() const { return impl_->finished; }
void BrekSession::post(const std::string& text, LineColour colour)
{
    StatusLine l{text.substr(0, kStatusLineLength), colour, 0};
    impl_->lines.push_back(l);
    if (impl_->lines.size() > kStatusLines)
        impl_->lines.pop_front();
    for (auto* o : impl_->observers)
        o->on_status_line(l);
}

} // namespace orva::engine
