#include "station/rotator/sattrak.h"

#include <cstdio>

namespace orva::station::sattrak {

PromptDialogue::PromptDialogue(int state, std::string satellite, std::optional<double> frequency_hz)
    : state_(state), satellite_(std::move(satellite)), frequency_(frequency_hz)
{
}

DialogueStep PromptDialogue::on_line(std::string_view line)
{
    DialogueStep step;
    auto has = [&](std::string_view what) { return line.find(what) != std::string_view::npos; };
    auto frequency = [&] {
        step.pause_before_send = kPause;
        if (frequency_ && *frequency_ > 0) {
            char buf[64];
            std::snprintf(buf, sizeof buf, "%f\r\n", *frequency_);
            step.send = buf;
        }
        step.close_port = true;
        state_ = 0;
    };
    switch (state_) {
    case 1:
        if (has("Orva")) {
            step.send = "S";
            state_ = 2;
        }
        break;
    case 2:
        if (has("S")) {
            step.pause_before_send = kPause;
            step.send = satellite_ + "\r";
            step.close_port = true;
            state_ = 0;
        }
        break;
    case 11:
    case 21:
        if (has("Orva")) {
            step.pause_before_send = kPause;
            step.send = state_ == 11 ? "U" : "D";
            ++state_;
        }
        break;
    case 12:
        if (has("U"))
            frequency();
        break;
    case 22:
        if (has("D"))
            frequency();
        break;
    default:
        break;
    }
    return step;
}

} // namespace orva::station::sattrak
