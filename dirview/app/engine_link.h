// The viewer's link to a running engine: when the engine's window for this satellite exists, a
// conversation on its directory topic with an advise loop on its headers. Each advise is one raw
// header. A lost conversation is forgotten, so the next connect() (the 20-second timer, or the
// engine's 2029) opens a new one.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "platform/data_exchange.h"
#include "platform/messenger.h"

namespace orva::dirview {

inline constexpr const char* kEngineService = "MicroSat";
inline constexpr const char* kDirectoryTopic = "Directory";
inline constexpr const char* kHeaderItem = "PFH";
inline constexpr const char* kHeaderFormat = "PFH";
inline constexpr std::size_t kMaxAdvisedHeader = 500;

class EngineLink {
public:
    using Connector = std::function<Result<std::unique_ptr<platform::DataConversation>>(
        const std::string& service, const std::string& topic, std::function<void()> on_disconnect)>;
    using HeaderSink = std::function<void(std::span<const std::uint8_t> header)>;

    EngineLink(platform::Messenger& messenger, Connector connector, HeaderSink on_header);
    ~EngineLink();

    // Closes the conversation of the previous satellite; empty: none.
    void set_satellite(const std::string& satellite);
    // True when connected afterwards. Does nothing while connected.
    bool connect();
    void close();
    bool connected() const;

    // "Brek:MAIN" "Brek [%s]"
    platform::WindowAddress engine_window() const;

private:
    platform::Messenger& messenger_;
    Connector connector_;
    HeaderSink on_header_;
    std::string satellite_;
    std::unique_ptr<platform::DataConversation> conversation_;
    std::shared_ptr<bool> lost_;
};

} // namespace orva::dirview
