#include "engine/link/tnc_sequencer.h"

#include "engine/link/kiss.h"
#include "engine/link/kiss_encoder.h"

#include <algorithm>

namespace orva::engine {
namespace {

TncAction raw(std::string_view s) {
    return TncAction{TncAction::Kind::WriteRaw, std::vector<std::uint8_t>(s.begin(), s.end()), {}, {}, {}};
}
TncAction raw(std::span<const std::uint8_t> b) {
    return TncAction{TncAction::Kind::WriteRaw, std::vector<std::uint8_t>(b.begin(), b.end()), {}, {}, {}};
}
TncAction post(std::string text, LineColour colour = LineColour::Black) {
    return TncAction{TncAction::Kind::Post, {}, std::move(text), colour, {}};
}
TncAction simple(TncAction::Kind kind) { return TncAction{kind, {}, {}, {}, {}}; }

// The files are copied in reads of a bounded size; each read is one write to the port.
void add_file(std::vector<TncAction>& out, const std::vector<std::uint8_t>& file, std::size_t chunk) {
    for (std::size_t i = 0; i < file.size(); i += chunk)
        out.push_back(raw(std::span(file).subspan(i, std::min(chunk, file.size() - i))));
}

} // namespace

void TncSequencer::at(TimePoint due, TncAction action) {
    // Kept in due order; equal times keep their insertion order.
    auto it = std::upper_bound(steps_.begin(), steps_.end(), due, [](TimePoint t, const Step& s) { return t < s.due; });
    steps_.insert(it, Step{due, std::move(action)});
}

std::vector<TncAction> TncSequencer::start(const TncSetup& setup,
                                           const std::optional<std::vector<std::uint8_t>>& startup_file,
                                           TimePoint now) {
    setup_ = setup;
    steps_.clear();
    const TncModel& model = tnc_model(setup.tnc_type);
    std::vector<TncAction> out;
    out.push_back(simple(TncAction::Kind::ResetSmack));
    out.push_back(post("Initialising your " + std::string(model.name) + " TNC."));
    if (startup_file) {
        out.push_back(post("Sending \"Brek TNC Startup\" file."));
        add_file(out, *startup_file, 200);
    }
    if (!model.startup.empty()) out.push_back(raw(model.startup));
    if (!model.late_startup.empty()) at(now + model.late_delay, raw(model.late_startup));

    TncAction link = simple(TncAction::Kind::LinkParams);
    link.link = ConnectedLinkParams{milliseconds(setup.retry_time_ms), milliseconds(500), milliseconds(10000),
                                    setup.max_frame, setup.retries};
    out.push_back(std::move(link));

    const auto params_at = now + milliseconds(5000);
    at(params_at, raw(kiss_parameter_block(setup.tx_port_nibble, setup.tx_delay_ms, setup.tx_tail_ms)));
    at(params_at, post("TNC set for Full Duplex"));
    at(params_at, simple(TncAction::Kind::ArmSession));
    return out;
}

std::vector<TncAction> TncSequencer::begin_exit(const std::optional<std::vector<std::uint8_t>>& exit_file,
                                                TimePoint now) {
    steps_.clear();
    const TncModel& model = tnc_model(setup_.tnc_type);
    std::vector<TncAction> out;
    TimePoint tail = now;
    switch (model.exit) {
    case TncExit::Nothing:
        out.push_back(simple(TncAction::Kind::ClosePort));
        out.push_back(simple(TncAction::Kind::Finished));
        return out;
    case TncExit::ControlC:
        for (int i = 0; i < 3; ++i) at(now + milliseconds(1000 + 250 * i), raw(std::string_view("\x03", 1)));
        tail = now + milliseconds(1500 + 1500);
        break;
    case TncExit::KissExitFrame:
        out.push_back(raw(kiss::kExitFrame));
        tail = now + milliseconds(350);
        break;
    case TncExit::KissThenText:
        out.push_back(raw(kiss::kExitFrame));
        at(now + milliseconds(350), raw(model.exit_text));
        tail = now + milliseconds(350 + 200);
        break;
    }
    at(tail, raw(kTncExitTail1));
    at(tail + milliseconds(175), raw(kTncExitTail2));
    TimePoint close = tail + milliseconds(350);
    if (exit_file) {
        at(close, post("Sending \"Brek TNC Exit\" file."));
        std::vector<TncAction> chunks;
        add_file(chunks, *exit_file, 100);
        for (auto& c : chunks) at(close, std::move(c));
        close += milliseconds(175);
    }
    at(close, simple(TncAction::Kind::ClosePort));
    at(close + milliseconds(500), simple(TncAction::Kind::Finished));
    return out;
}

std::vector<TncAction> TncSequencer::poll(TimePoint now) {
    std::vector<TncAction> out;
    while (!steps_.empty() && steps_.front().due <= now) {
        out.push_back(std::move(steps_.front().action));
        steps_.pop_front();
    }
    return out;
}

std::optional<TncSequencer::TimePoint> TncSequencer::next_deadline() const {
    if (steps_.empty()) return std::nullopt;
    return steps_.front().due;
}

} // namespace orva::engine
