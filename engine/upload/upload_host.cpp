#include "engine/upload/upload_host.h"

namespace orva::engine {

UploadHost::UploadHost(UploadConfig config, Sender send, StatusSink& status, Now now, UplinkSelector select)
    : client_(std::move(config)), send_(std::move(send)), status_(status), now_(std::move(now)), select_(std::move(select)) {}

void UploadHost::deliver(UploadOutput o) {
    for (const auto& f : o.frames) send_(f);
    for (auto& p : o.posts) status_.post(std::move(p.text), p.colour);
    if (o.bbs_status) bbs_status_ = *o.bbs_status;
    if (o.select_uplink && select_) select_(*o.select_uplink);
}

void UploadHost::on_bbs_status(std::string_view text) {
    std::lock_guard lock(mutex_);
    deliver(client_.on_bbs_status(text, now_()));
}

void UploadHost::on_connected_frame(const Ax25Frame& frame) {
    std::lock_guard lock(mutex_);
    deliver(client_.on_connected_frame(frame, now_()));
}

void UploadHost::poll() {
    std::lock_guard lock(mutex_);
    deliver(client_.poll(now_()));
}

std::optional<LinkTime> UploadHost::next_deadline() const {
    std::lock_guard lock(mutex_);
    return client_.next_deadline();
}

std::vector<UploadLogEntry> UploadHost::close() {
    std::lock_guard lock(mutex_);
    deliver(client_.disconnect(now_()));
    return client_.take_log_entries();
}

void UploadHost::set_uploading(bool on) {
    std::lock_guard lock(mutex_);
    client_.set_uploading(on);
}

void UploadHost::set_auto_freq(bool on) {
    std::lock_guard lock(mutex_);
    client_.set_auto_freq(on);
}

void UploadHost::set_link_settings(const DataLinkSettings& link) {
    std::lock_guard lock(mutex_);
    client_.set_link_settings(link);
}

bool UploadHost::busy() const {
    std::lock_guard lock(mutex_);
    return client_.busy();
}

UploadProgress UploadHost::progress() const {
    std::lock_guard lock(mutex_);
    return client_.progress();
}

void UploadHost::disconnect() {
    std::lock_guard lock(mutex_);
    deliver(client_.disconnect(now_()));
}

std::string UploadHost::held() const {
    std::lock_guard lock(mutex_);
    return client_.held();
}

std::string UploadHost::bbs_status() const {
    std::lock_guard lock(mutex_);
    return bbs_status_;
}

} // namespace orva::engine
