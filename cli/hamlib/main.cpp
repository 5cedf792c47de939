// orva hamlib: chooses the Hamlib rotator and radio of a "Level1" station.
//   orva hamlib models rotator|radio [TEXT]   lists Hamlib's models (number, maker, model)
//   orva hamlib show                          prints the chosen models, devices and speeds
//   orva hamlib set [--rotator-model N] [--rotator-device DEV] [--rotator-speed BPS]
//                   [--radio-model N] [--radio-device DEV] [--radio-speed BPS]
// A device is a serial device path or, for the network models (2), rotctld's or rigctld's
// "host:port".
#include <algorithm>
#include <iterator>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/options/program_options.h"
#include "platform/store/store.h"
#include "station/radio/hamlib_driver.h"

using namespace orva;
using namespace orva::station;

namespace {
std::string lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

const HamlibModel* find(const std::vector<HamlibModel>& models, std::uint32_t number)
{
    for (const auto& m : models)
        if (m.number == number)
            return &m;
    return nullptr;
}

void show(const HamlibConfig& c)
{
    auto rots = hamlib_rotator_models();
    auto rigs = hamlib_rig_models();
    auto name = [](const HamlibModel* m) { return m ? m->maker + " " + m->name : std::string("unknown model"); };
    std::printf("rotator: model %u (%s), device %s, speed %u\n", c.rotator_model,
                name(find(rots, c.rotator_model)).c_str(), c.rotator_device.c_str(), c.rotator_speed);
    std::printf("radio:   model %u (%s), device %s, speed %u\n", c.radio_model, name(find(rigs, c.radio_model)).c_str(),
                c.radio_device.c_str(), c.radio_speed);
}
} // namespace

int main(int argc, char** argv)
{
    platform::ProgramOptions cli("orva hamlib", "Chooses the Hamlib rotator and radio of a \"Level1\" station.");
    cli.require_subcommand().footer(
        "A device is a serial device path or, for the network models (2), rotctld's or rigctld's host:port.");
    std::string kind, filter;
    auto& models = cli.subcommand("models", "Hamlib's models: number, maker, model.");
    models.choice("KIND", kind, {"rotator", "radio"}, "Which models")
        .positional("TEXT", filter, "Only models whose maker or name holds TEXT", false);
    auto& show_cmd = cli.subcommand("show", "The chosen models, devices and speeds.");
    auto& set = cli.subcommand("set", "Change the chosen models, devices or speeds.");
    long rotator_model = 0, radio_model = 0, rotator_speed = 0, radio_speed = 0;
    std::string rotator_device, radio_device;
    set.option("--rotator-model", rotator_model, "Hamlib rotator model number", "N", 0, 1L << 30)
        .option("--rotator-device", rotator_device, "Rotator device or host:port", "DEV")
        .option("--rotator-speed", rotator_speed, "Rotator serial speed", "BPS", 0, 4000000)
        .option("--radio-model", radio_model, "Hamlib radio model number", "N", 0, 1L << 30)
        .option("--radio-device", radio_device, "Radio device or host:port", "DEV")
        .option("--radio-speed", radio_speed, "Radio serial speed", "BPS", 0, 4000000);
    if (auto code = cli.parse(argc, argv))
        return *code;

    if (models.chosen()) {
        if (kind.empty())
            return models.usage_error("say which models: rotator or radio");
        filter = lower(filter);
        for (const auto& m : kind == "rotator" ? hamlib_rotator_models() : hamlib_rig_models()) {
            std::string line = m.maker + " " + m.name;
            if (filter.empty() || lower(line).find(filter) != std::string::npos)
                std::printf("%6u  %s\n", m.number, line.c_str());
        }
        return 0;
    }
    auto store = platform::Store::open_default(show_cmd.chosen() ? platform::Access::ReadOnly : platform::Access::ReadWrite);
    if (!store) {
        std::fprintf(stderr, "orva hamlib: cannot open the store: %s\n", store.error().message.c_str());
        return 1;
    }
    HamlibConfig c = read_hamlib_config(*store);
    if (show_cmd.chosen()) {
        show(c);
        return 0;
    }
    const char* names[] = {"--rotator-model", "--rotator-device", "--rotator-speed",
                           "--radio-model", "--radio-device", "--radio-speed"};
    if (std::none_of(std::begin(names), std::end(names), [&](const char* n) { return set.given(n); }))
        return set.usage_error("nothing to set");
    for (bool rot : {true, false}) {
        const char* option = rot ? "--rotator-model" : "--radio-model";
        if (!set.given(option))
            continue;
        auto n = std::uint32_t(rot ? rotator_model : radio_model);
        if (!find(rot ? hamlib_rotator_models() : hamlib_rig_models(), n))
            return set.usage_error("\"" + std::to_string(n) + "\" is not a Hamlib " + (rot ? "rotator" : "radio") +
                                   " model; see orva hamlib models " + (rot ? "rotator" : "radio"));
        (rot ? c.rotator_model : c.radio_model) = n;
    }
    if (set.given("--rotator-speed"))
        c.rotator_speed = std::uint32_t(rotator_speed);
    if (set.given("--radio-speed"))
        c.radio_speed = std::uint32_t(radio_speed);
    for (bool rot : {true, false}) {
        const std::string& dev = rot ? rotator_device : radio_device;
        if (!set.given(rot ? "--rotator-device" : "--radio-device"))
            continue;
        if (dev.empty() || dev.size() > 500)
            return set.usage_error("a device is a path or host:port of at most 500 characters");
        (rot ? c.rotator_device : c.radio_device) = dev;
    }
    if (Status s = write_hamlib_config(*store, c); !s) {
        std::fprintf(stderr, "orva hamlib: cannot write the store: %s\n", s.error().message.c_str());
        return 1;
    }
    show(c);
    return 0;
}
