#include "station/rotator/rotator_models.h"

#include <array>

#include "station/rotator/easycomm.h"
#include "station/rotator/gs232.h"
#include "station/rotator/sattrak.h"
#include "station/rotator/trakbox.h"

namespace orva::station {

namespace {
std::string nothing_at_start(const StartContext&) { return {}; }
std::string nothing_per_tick(LastSent&, const Aim&) { return {}; }
std::string nothing_at_stop() { return {}; }

using namespace std::chrono_literals;
using L = RotatorLink;
using D = RotatorDialogue;

const std::array<RotatorModel, 10> models{{
    {RotatorType::None, "None", L::None, false, false, D::None, 0ms, nothing_at_start, nothing_per_tick, nothing_at_stop},
    {RotatorType::TrakBox, "TrakBox", L::Serial, false, false, D::TrakBoxMenu, trakbox::kTimeout, nothing_at_start,
     nothing_per_tick, trakbox::stop},
    {RotatorType::Level1, "Level1", L::Library, false, false, D::None, 0ms, nothing_at_start, nothing_per_tick,
     nothing_at_stop},
    {RotatorType::SatTrak, "SatTrak", L::Serial, false, false, D::SatTrakPrompt, sattrak::kTimeout, nothing_at_start,
     nothing_per_tick, nothing_at_stop},
    {RotatorType::EasyComm1, "EasyComm 1", L::Serial, true, true, D::None, 0ms, nothing_at_start, easycomm::tick_one,
     nothing_at_stop},
    {RotatorType::EasyComm2, "EasyComm 2", L::Serial, true, true, D::None, 0ms, easycomm::start_two,
     easycomm::tick_two, easycomm::stop_two},
    {RotatorType::Norbin, "Norbin", L::None, false, false, D::None, 0ms, nothing_at_start, nothing_per_tick,
     nothing_at_stop},
    {RotatorType::Gs232, "GS232", L::Serial, false, true, D::None, 0ms, nothing_at_start, gs232::tick,
     nothing_at_stop},
    {RotatorType::Dde, "DDE", L::None, false, false, D::None, 0ms, nothing_at_start, nothing_per_tick,
     nothing_at_stop},
    {RotatorType::TrakBoxHost, "TrakBox Host", L::Serial, true, false, D::None, trakbox::kTimeout, trakbox::host_start,
     trakbox::host_tick, nothing_at_stop},
}};
} // namespace

std::span<const RotatorModel> rotator_models()
{
    return models;
}

const RotatorModel& rotator_model(std::uint32_t type)
{
    return type < models.size() ? models[type] : models[0];
}

bool should_park(bool park, std::int64_t now, std::int64_t park_delay_s, const std::int64_t* next_pass_start)
{
    if (!park)
        return false;
    return next_pass_start == nullptr || *next_pass_start - now > park_delay_s;
}

} // namespace orva::station
