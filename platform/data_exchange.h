// Dynamic data exchange: a program serves a service ("Helmo", "MicroSat") whose clients open a
// conversation on a topic ("Tracking", "Directory"), request or poke items in a format ("TrackData",
// "PFH", text), and start advise loops in which the server pushes each change of an item.
// Disconnection of either side is seen by the other. Session-bus implementation: platform/dbus.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/result.h"

namespace orva::platform {

using ConversationId = std::uint32_t;
using Bytes = std::vector<std::uint8_t>;

// The server program's side. Each runs on the thread that created the server; a missing
// handler accepts connections and advise starts, and gives no data.
struct DataServerHandlers {
    std::function<bool(ConversationId, const std::string& topic)> on_connect;
    std::function<void(ConversationId)> on_disconnect; // the client left, ended or died
    std::function<std::optional<Bytes>(ConversationId, const std::string& item, const std::string& format)> on_request;
    std::function<bool(ConversationId, const std::string& item, const std::string& format, const Bytes& data)> on_poke;
    std::function<bool(ConversationId, const std::string& item, const std::string& format)> on_advise_start;
};

class DataServer {
public:
    // Withdraws the service; clients see their conversations end.
    virtual ~DataServer() = default;
    // Pushes a change to every conversation on `topic` advised on item and format; never waits
    // for the clients.
    virtual void advise(const std::string& topic, const std::string& item, const std::string& format,
                        std::span<const std::uint8_t> data) = 0;
    virtual void disconnect(ConversationId conversation) = 0;
    virtual std::size_t conversation_count() const = 0;
};

// The client's side of one conversation.
class DataConversation {
public:
    // Ends the conversation; the server sees it.
    virtual ~DataConversation() = default;
    virtual bool connected() const = 0;
    // Fails when the server has no data for it.
    virtual Result<Bytes> request(const std::string& item, const std::string& format,
                                  std::chrono::milliseconds timeout = std::chrono::seconds(5)) = 0;
    // The server's acknowledgement.
    virtual Result<bool> poke(const std::string& item, const std::string& format, std::span<const std::uint8_t> data,
                              std::chrono::milliseconds timeout = std::chrono::seconds(5)) = 0;
    // Changes arrive in order on the thread that opened the conversation.
    virtual Status start_advise(const std::string& item, const std::string& format,
                                std::function<void(const Bytes&)> on_change,
                                std::chrono::milliseconds timeout = std::chrono::seconds(5)) = 0;
    virtual void stop_advise(const std::string& item, const std::string& format) = 0;
};

} // namespace orva::platform
