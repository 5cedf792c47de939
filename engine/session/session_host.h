// Everything the engine session asks of the outside world: the clock, the TNC port, window
// messages, the title, started programs, the data server and the satellites of the store. The
// Qt host implements it for the program; tests implement it with a manual clock.
#pragma once

#include "common/settings/satellite_record.h"
#include "engine/log/satellite_clock.h"
#include "platform/launcher.h"
#include "platform/messenger.h"
#include "platform/result.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace orva::engine {

class SessionHost {
public:
    virtual ~SessionHost() = default;

    // Station time in milliseconds since 1970 (the host may run it faster than the wall clock).
    virtual std::uint64_t now_ms() = 0;

    // Opens the satellite's TNC port ("Port" through the store's port names, or "TNC Address");
    // received bytes come back through BrekSession::feed_tnc.
    virtual Status open_tnc(const settings::SatelliteRecord& satellite) = 0;
    virtual void write_tnc(std::span<const std::uint8_t> bytes) = 0;
    // As write_tnc; false when the port did not take the bytes (closed, or its output stalled).
    virtual bool try_write_tnc(std::span<const std::uint8_t> bytes)
    {
        write_tnc(bytes);
        return true;
    }
    // Bytes written but not yet sent by the driver (the exit sequence waits for them).
    virtual std::size_t tnc_output_queued() { return 0; }
    virtual void close_tnc() = 0;

    virtual bool window_exists(const platform::WindowAddress& to) = 0;
    virtual Status post_message(const platform::WindowAddress& to, const platform::WindowMessage& message) = 0;
    virtual void set_title(const std::string& title) = 0;

    // One word per argument, never split again.
    virtual Status launch(const std::vector<std::string>& words, platform::ShowMode show,
                          const std::filesystem::path& working_directory) = 0;

    // The "MicroSat" data server. `data_server_running` is false when it could not be started.
    virtual bool data_server_running() { return false; }
    virtual void advise(const std::string& /*topic*/, const std::string& /*item*/, const std::string& /*format*/,
                        std::span<const std::uint8_t> /*data*/) {}
    virtual void end_conversations() {}

    // The satellites of the store ("Name" compared ignoring case).
    virtual std::optional<settings::SatelliteRecord> find_satellite(const std::string& name) = 0;
    virtual std::vector<settings::SatelliteRecord> satellites() = 0;

    // Sets the computer clock from the satellite's time ("Use Clock").
    virtual SystemClockSetter& clock_setter() = 0;
};

} // namespace orva::engine
