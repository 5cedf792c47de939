// orva hamlib: chooses the Hamlib rotator and radio of a "Level1" station.
//   orva hamlib models rotator|radio [TEXT]   lists Hamlib's models (number, maker, model)
//   orva hamlib show                          prints the chosen models, devices and speeds
//   orva hamlib set [--rotator-model N] [--rotator-device DEV] [--rotator-speed BPS]
//                   [--radio-model N] [--radio-device DEV] [--radio-speed BPS]
// A device is a serial device path or, for the network models (2), rotctld's or rigctld's
// "host:port".
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/store/store.h"
#include "station/radio/hamlib_driver.h"

using namespace orva;
using namespace orva::station;

namespace {
int usage()
{
    std::fprintf(stderr,
                 "usage: orva hamlib models rotator|radio [TEXT]\n"
                 "       orva hamlib show\n"
                 "       orva hamlib set [--rotator-model N] [--rotator-device DEV] [--rotator-speed BPS]\n"
                 "                       [--radio-model N] [--radio-device DEV] [--radio-speed BPS]\n");
    return 2;
}

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

bool number(const char* text, std::uint32_t max, std::uint32_t& out)
{
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!*text || *end || v < 0 || std::uint64_t(v) > max)
        return false;
    out = std::uint32_t(v);
    return true;
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
    if (argc < 2)
        return usage();
    std::string command = argv[1];
    if (command == "models") {
        if (argc < 3 || argc > 4)
            return usage();
        std::string kind = argv[2];
        if (kind != "rotator" && kind != "radio")
            return usage();
        std::string filter = argc == 4 ? lower(argv[3]) : "";
        for (const auto& m : kind == "rotator" ? hamlib_rotator_models() : hamlib_rig_models()) {
            std::string line = m.maker + " " + m.name;
            if (filter.empty() || lower(line).find(filter) != std::string::npos)
                std::printf("%6u  %s\n", m.number, line.c_str());
        }
        return 0;
    }
    auto store = platform::Store::open_default(command == "show" ? platform::Access::ReadOnly : platform::Access::ReadWrite);
    if (!store) {
        std::fprintf(stderr, "orva hamlib: cannot open the store: %s\n", store.error().message.c_str());
        return 1;
    }
    HamlibConfig c = read_hamlib_config(*store);
    if (command == "show") {
        if (argc != 2)
            return usage();
        show(c);
        return 0;
    }
    if (command != "set" || argc < 4)
        return usage();
    for (int i = 2; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc)
            return usage();
        const char* v = argv[++i];
        if (a == "--rotator-model" || a == "--radio-model") {
            std::uint32_t n = 0;
            bool rot = a == "--rotator-model";
            if (!number(v, 1u << 30, n) || !find(rot ? hamlib_rotator_models() : hamlib_rig_models(), n)) {
                std::fprintf(stderr, "orva hamlib: \"%s\" is not a Hamlib %s model; see orva hamlib models %s\n", v,
                             rot ? "rotator" : "radio", rot ? "rotator" : "radio");
                return 2;
            }
            (rot ? c.rotator_model : c.radio_model) = n;
        } else if (a == "--rotator-speed" || a == "--radio-speed") {
            std::uint32_t n = 0;
            if (!number(v, 4'000'000, n)) {
                std::fprintf(stderr, "orva hamlib: \"%s\" is not a serial speed\n", v);
                return 2;
            }
            (a == "--rotator-speed" ? c.rotator_speed : c.radio_speed) = n;
        } else if (a == "--rotator-device" || a == "--radio-device") {
            std::string dev = v;
            if (dev.empty() || dev.size() > 500) {
                std::fprintf(stderr, "orva hamlib: a device is a path or host:port of at most 500 characters\n");
                return 2;
            }
            (a == "--rotator-device" ? c.rotator_device : c.radio_device) = dev;
        } else {
            return usage();
        }
    }
    if (Status s = write_hamlib_config(*store, c); !s) {
        std::fprintf(stderr, "orva hamlib: cannot write the store: %s\n", s.error().message.c_str());
        return 1;
    }
    show(c);
    return 0;
}
