// The ByteStream over a non-blocking file descriptor shared by serial devices and TCP sockets.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/byte_stream.h"

namespace orva::platform {

class FdStream : public ByteStream {
public:
    enum class Kind { Tty, Socket };
    // Takes ownership of fd, which must be non-blocking.
    FdStream(int fd, Kind kind, std::string name, std::size_t read_chunk);
    ~FdStream() override;

    Status start_receiving(DataHandler on_data, ErrorHandler on_error) override;
    Status write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout) override;
    std::size_t output_queued() const override;
    void close() override;
    bool is_open() const override;
    const std::string& name() const override { return name_; }

private:
    void release();
    int fd_;
    int wake_fd_; // eventfd: tells the receive thread to stop
    Kind kind_;
    std::string name_;
    std::size_t read_chunk_;
    // Shared with the receive thread, which may still be returning from a handler that closed us.
    std::shared_ptr<std::atomic<bool>> closing_ = std::make_shared<std::atomic<bool>>(false);
    std::atomic<std::thread::id> receiver_id_{};
    std::mutex write_mutex_;
    std::mutex close_mutex_;
    std::thread receiver_;
    bool closed_ = false;
};

std::string errno_text(int error);

} // namespace orva::platform
