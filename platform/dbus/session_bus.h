// The session-bus implementations of the messenger and of data exchange (names in bus_names.h).
// Everything created here belongs to the calling thread, which must run a Qt event loop (a
// QCoreApplication or QApplication exists); handlers and advise callbacks run on it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/data_exchange.h"
#include "platform/messenger.h"

namespace orva::platform::dbus {

std::unique_ptr<Messenger> session_messenger();

// Owns the service name; fails when another program serves it already or there is no bus.
Result<std::unique_ptr<DataServer>> serve_data(const std::string& service, DataServerHandlers handlers);

// Opens a conversation; on_disconnect runs once when the server ends it or goes away.
Result<std::unique_ptr<DataConversation>> connect_data(const std::string& service, const std::string& topic,
                                                       std::function<void()> on_disconnect,
                                                       std::chrono::milliseconds timeout = std::chrono::seconds(5));

} // namespace orva::platform::dbus
