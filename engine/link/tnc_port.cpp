#include "engine/link/tnc_port.h"

#include <algorithm>

namespace orva::engine {

TncPort::TncPort(TncPortOptions options, std::function<void()> wake) : options_(options), wake_(std::move(wake)) {}

TncPort::~TncPort() { close(std::chrono::milliseconds(0)); }

Status TncPort::attach(std::unique_ptr<platform::ByteStream> stream)
{
    close();
    stream_ = std::move(stream);
    {
        std::lock_guard lock(rx_mutex_);
        inbox_ = {};
        inbox_bytes_ = 0;
        overruns_ = 0;
    }
    {
        std::lock_guard lock(tx_mutex_);
        tx_queue_.clear();
        tx_queued_bytes_ = 0;
        tx_stop_ = false;
        tx_refusing_ = false;
    }
    tx_thread_ = std::thread([this] { writer(); });
    return stream_->start_receiving([this](std::span<const std::uint8_t> b) { on_data(b); },
                                    [this](const Error& e) { on_error(e.message); });
}

void TncPort::close(std::chrono::milliseconds flush)
{
    {
        std::unique_lock lock(tx_mutex_);
        if (stream_ && flush.count() > 0)
            tx_idle_.wait_for(lock, flush, [this] { return tx_queue_.empty() && !tx_busy_; });
        tx_stop_ = true;
        tx_queue_.clear();
        tx_queued_bytes_ = 0;
    }
    tx_wake_.notify_all();
    if (stream_)
        stream_->close(); // no handler runs after this; a write in progress gives up
    if (tx_thread_.joinable())
        tx_thread_.join();
    stream_.reset();
}

TncPort::WriteResult TncPort::write(std::span<const std::uint8_t> bytes)
{
    if (!stream_)
        return WriteResult::Refused;
    std::lock_guard lock(tx_mutex_);
    if (tx_queued_bytes_ + bytes.size() > options_.max_queued_write) {
        const bool first = !tx_refusing_;
        tx_refusing_ = true;
        return first ? WriteResult::RefusedFirst : WriteResult::Refused;
    }
    tx_refusing_ = false;
    tx_queue_.emplace_back(bytes.begin(), bytes.end());
    tx_queued_bytes_ += bytes.size();
    tx_wake_.notify_one();
    return WriteResult::Queued;
}

std::size_t TncPort::output_queued() const
{
    if (!stream_)
        return 0;
    std::lock_guard lock(tx_mutex_);
    return tx_queued_bytes_ + stream_->output_queued();
}

std::uint32_t TncPort::overruns() const
{
    std::lock_guard lock(rx_mutex_);
    return overruns_;
}

TncInbox TncPort::take()
{
    std::lock_guard lock(rx_mutex_);
    TncInbox out = std::move(inbox_);
    inbox_ = {};
    inbox_bytes_ = 0;
    return out;
}

void TncPort::notify()
{
    if (wake_)
        wake_();
}

// The stream's receive thread.
void TncPort::on_data(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return;
    {
        std::lock_guard lock(rx_mutex_);
        if (inbox_bytes_ + bytes.size() > options_.rx_buffer) {
            ++overruns_;
            if (!inbox_.items.empty() && inbox_.items.back().bytes.empty())
                ++inbox_.items.back().overruns;
            else
                inbox_.items.push_back({{}, 1});
        } else {
            inbox_.items.push_back({{bytes.begin(), bytes.end()}, 0});
            inbox_bytes_ += bytes.size();
        }
    }
    notify();
}

void TncPort::on_error(const std::string& text)
{
    {
        std::lock_guard lock(rx_mutex_);
        inbox_.lost = text;
    }
    notify();
}

void TncPort::writer()
{
    std::unique_lock lock(tx_mutex_);
    for (;;) {
        tx_wake_.wait(lock, [this] { return tx_stop_ || !tx_queue_.empty(); });
        if (tx_stop_)
            return;
        std::vector<std::uint8_t> bytes = std::move(tx_queue_.front());
        tx_queue_.pop_front();
        tx_busy_ = true;
        lock.unlock();
        const Status written = stream_->write(bytes, options_.write_timeout);
        lock.lock();
        tx_busy_ = false;
        tx_queued_bytes_ -= std::min(tx_queued_bytes_, bytes.size());
        if (tx_queue_.empty())
            tx_idle_.notify_all();
        if (!written && !tx_stop_) {
            {
                std::lock_guard rx(rx_mutex_);
                inbox_.write_errors.push_back(written.error().message);
            }
            lock.unlock();
            notify();
            lock.lock();
        }
    }
}

} // namespace orva::engine
