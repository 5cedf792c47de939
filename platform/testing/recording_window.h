// A window on the messenger that keeps every message sent or posted to it, for tests that
// check what a program tells its peers. The messages arrive while the test pumps its event loop.
#pragma once

#include "platform/messenger.h"

#include <memory>
#include <string>
#include <vector>

namespace orva::test_support {

class RecordingWindow {
public:
    // The answer every message gets.
    explicit RecordingWindow(std::int32_t answer = 0) : answer_(answer) {}

    Status open(platform::Messenger& messenger, const std::string& window_class, const std::string& title)
    {
        platform::WindowHandlers handlers;
        handlers.on_message = [this](const platform::WindowMessage& m) {
            got.push_back(m);
            return answer_;
        };
        auto w = messenger.create_window(window_class, title, std::move(handlers));
        if (!w)
            return w.error();
        window_ = std::move(*w);
        return {};
    }

    std::vector<platform::WindowMessage> got;

private:
    std::int32_t answer_;
    std::unique_ptr<platform::MessageWindow> window_;
};

} // namespace orva::test_support
