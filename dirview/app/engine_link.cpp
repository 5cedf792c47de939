#include "dirview/app/engine_link.h"

#include <chrono>

namespace orva::dirview {

EngineLink::EngineLink(platform::Messenger& messenger, Connector connector, HeaderSink on_header)
    : messenger_(messenger), connector_(std::move(connector)), on_header_(std::move(on_header))
{
}

EngineLink::~EngineLink() { close(); }

void EngineLink::set_satellite(const std::string& satellite)
{
    close();
    satellite_ = satellite;
}

platform::WindowAddress EngineLink::engine_window() const { return {"Brek:MAIN", "Brek [" + satellite_ + "]"}; }

bool EngineLink::connected() const { return conversation_ && !*lost_ && conversation_->connected(); }

bool EngineLink::connect()
{
    if (connected())
        return true;
    close();
    if (satellite_.empty() || !messenger_.exists(engine_window()))
        return false;
    auto lost = std::make_shared<bool>(false);
    // The conversation may go while its own callback runs: only the flag is touched there.
    auto conversation = connector_(kEngineService, kDirectoryTopic, [lost] { *lost = true; });
    if (!conversation)
        return false;
    auto sink = on_header_;
    auto started = (*conversation)->start_advise(
        kHeaderItem, kHeaderFormat,
        [sink](const platform::Bytes& data) {
            const std::size_t n = std::min(data.size(), kMaxAdvisedHeader);
            if (sink && n > 0)
                sink(std::span<const std::uint8_t>(data.data(), n));
        },
        std::chrono::milliseconds(1000));
    if (!started)
        return false;
    conversation_ = std::move(*conversation);
    lost_ = std::move(lost);
    return connected();
}

void EngineLink::close()
{
    conversation_.reset();
    lost_.reset();
}

} // namespace orva::dirview
