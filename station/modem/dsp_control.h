// Sets a DSP modem to the satellite's mode before the engine opens the port. configure()
// returns at once; ready() turns true when the configuration has ended, whatever the outcome,
// so the pass thread waiting on it never hangs.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "platform/byte_stream.h"
#include "platform/clock.h"
#include "platform/store/store.h"
#include "platform/timers.h"

namespace orva::station {

struct DspHooks {
    std::function<void(const std::string&)> log;
    std::function<void(const std::string& text, const std::string& caption)> warn;
    std::function<void()> error_sound;
    std::function<Result<std::unique_ptr<platform::ByteStream>>(std::uint32_t port, std::uint32_t speed)> open_port;
};

class DspModemControl {
public:
    DspModemControl(platform::Timers& timers, const platform::Store& store, DspHooks hooks);
    ~DspModemControl();
    DspModemControl(const DspModemControl&) = delete;
    DspModemControl& operator=(const DspModemControl&) = delete;

    void configure(const std::string& satellite);
    bool ready() const;

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

} // namespace orva::station
