// Window messages between the suite's programs: a window registers with its class and title
// ("HelmoCtl" "Helmo", "Brek:MAIN" "Brek [AO-16]", "Tessel" "Tessel [AO-16]"), and others find it
// by class and, where given, title, and post (no answer) or send (answer) a message number with
// its word and long parameters. The session-bus implementation is in platform/dbus.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/result.h"

namespace orva::platform {

struct WindowAddress {
    std::string window_class;
    std::string title; // empty: any window of the class
};

struct WindowMessage {
    std::uint32_t number = 0;
    std::uint32_t word = 0;     // the word parameter
    std::int32_t long_param = 0; // the long parameter (a station time, a file number)
    bool operator==(const WindowMessage&) const = default;
};

// Error code of create_window when a single-instance class already has a window.
inline constexpr int already_running = 17;

struct WindowHandlers {
    // Runs on the thread that created the window; its value answers send(). Posts ignore it.
    std::function<std::int32_t(const WindowMessage&)> on_message;
    // Another instance asked this one to come forward.
    std::function<void()> on_raise;
    // A message that carries texts: another program filling one of this window's boxes.
    std::function<void(const WindowMessage&, const std::vector<std::string>&)> on_texts;
};

class MessageWindow {
public:
    virtual ~MessageWindow() = default; // unregisters: the window is gone for everyone
    virtual const std::string& window_class() const = 0;
    virtual const std::string& title() const = 0;
    // "Brek" becomes "Brek [AO-16]" when a pass opens; finders see the new title at once.
    virtual Status set_title(const std::string& title) = 0;
};

class Messenger {
public:
    virtual ~Messenger() = default;

    virtual bool exists(const WindowAddress& to) = 0;
    // Fails (and delivers nothing) when no such window exists.
    virtual Status post(const WindowAddress& to, const WindowMessage& message) = 0;
    // The receiver's answer; fails when no such window exists or it does not answer in time.
    virtual Result<std::int32_t> send(const WindowAddress& to, const WindowMessage& message,
                                      std::chrono::milliseconds timeout = std::chrono::seconds(5)) = 0;
    // Posts a message with texts (the fields of a box the receiver has open); no answer.
    virtual Status post_texts(const WindowAddress& to, const WindowMessage& message,
                              const std::vector<std::string>& texts) = 0;
    // Asks a window to come forward (a second instance does this before it ends).
    virtual Status raise(const WindowAddress& to) = 0;

    // With `single_instance`, a second window of the class is refused with code already_running.
    virtual Result<std::unique_ptr<MessageWindow>> create_window(const std::string& window_class, const std::string& title,
                                                                 WindowHandlers handlers, bool single_instance = false) = 0;
};

} // namespace orva::platform
