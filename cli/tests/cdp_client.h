// A headless Chromium driven over its DevTools protocol, for tests of the station's page: the
// browser started on loopback only, one page, commands sent over a small WebSocket client and
// their answers read back as JSON.
#pragma once

#include <QJsonObject>
#include <QJsonValue>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "cli/demo/child.h"
#include "platform/result.h"

namespace orva::tools {

class Browser {
public:
    ~Browser();
    // Chromium at `program`, headless, its profile in `profile`; none when it cannot be started.
    static Result<std::unique_ptr<Browser>> start(const std::string& program, const std::filesystem::path& profile);

    // One DevTools command; its "result" object.
    Result<QJsonObject> call(const std::string& method, const QJsonObject& params = {},
                             std::chrono::milliseconds timeout = std::chrono::seconds(20));
    // The value of a JavaScript expression in the page (promises awaited).
    Result<QJsonValue> evaluate(const std::string& expression);
    // Polls `expression` until it is true; false after `limit`.
    bool wait_for(const std::string& expression, std::chrono::milliseconds limit);
    // The page as a PNG.
    Result<std::string> screenshot();

private:
    Browser() = default;
    Status send_text(const std::string& text);
    Result<std::string> receive_text(std::chrono::steady_clock::time_point deadline);
    Status read_exact(char* into, std::size_t n, std::chrono::steady_clock::time_point deadline);

    std::unique_ptr<Child> process_;
    int fd_ = -1;
    int next_id_ = 1;
};

} // namespace orva::tools
