#include "engine/link/tnc_model.h"

#include <array>

namespace orva::engine {
namespace {

using namespace std::string_view_literals;

constexpr std::string_view kKissOn = "\rkiss on\rrestart\r";

const std::array<TncModel, 8> kModels = {{
    {1, "TNC-2", kKissOn, {}, milliseconds(0), TncExit::KissExitFrame, {}},
    {2, "PK-232", "hb 9600\rxon $00\rxoff $00\rstart $00\rstop $00\rdcd on\r", {}, milliseconds(0),
     TncExit::ControlC, {}},
    {3, "DSP-12", kKissOn, {}, milliseconds(0), TncExit::KissExitFrame, {}},
    {4, "DSP-2232", kKissOn, {}, milliseconds(0), TncExit::KissExitFrame, {}},
    {5, "TheFirmWare", "\x11\x18\x1B"sv, "@K\r", milliseconds(150), TncExit::KissExitFrame, {}},
    {6, "KPC-9612", "\rport 2\rfulldup on\rin terminal\rmaxusers 0/1\rmydrop 1/0\rin kiss\rreset\r", {},
     milliseconds(0), TncExit::KissThenText, "\rint term\rreset\rmydrop 0/1\r"},
    {7, "PK-900", "modem /9\rhbaud /9600\rradio 0/2\rxon $00\rxoff $00\rstart $00\rstop $00\rdcd on\rkiss $03\r", {},
     milliseconds(0), TncExit::ControlC, {}},
    {8, "None", {}, {}, milliseconds(0), TncExit::Nothing, {}},
}};

// Any other stored value behaves as a TNC-2.
const TncModel kOther = {0, "TNC-2", kKissOn, {}, milliseconds(0), TncExit::KissExitFrame, {}};

} // namespace

const TncModel& tnc_model(int type) {
    for (const auto& m : kModels)
        if (m.type == type) return m;
    return kOther;
}

std::span<const TncModel> tnc_models() { return kModels; }

} // namespace orva::engine
