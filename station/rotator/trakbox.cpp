#include "station/rotator/trakbox.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace orva::station::trakbox {

namespace {
bool has(std::string_view line, std::string_view what)
{
    return line.find(what) != std::string_view::npos;
}
std::string upper(std::string_view s)
{
    std::string u(s);
    for (char& c : u)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return u;
}
// Every word that begins two characters after a "." and ends before the next blank.
std::vector<std::string> menu_names(std::string_view line)
{
    std::vector<std::string> names;
    for (std::size_t dot = line.find('.'); dot != std::string_view::npos; dot = line.find('.', dot + 1)) {
        std::size_t begin = dot + 2;
        if (begin >= line.size())
            break;
        std::size_t end = line.find(' ', begin);
        std::string_view word = line.substr(begin, end == std::string_view::npos ? line.size() - begin : end - begin);
        if (!word.empty() && word.find('.') == std::string_view::npos)
            names.emplace_back(word);
    }
    return names;
}
} // namespace

MenuDialogue::MenuDialogue(int state, std::string satellite) : state_(state), satellite_upper_(upper(satellite)) {}

DialogueStep MenuDialogue::on_line(std::string_view line)
{
    DialogueStep step;
    switch (state_) {
    case 1:
    case 11:
        if (has(line, "'Q' Return"))
            step.send = "Q\n";
        else if (has(line, ",M]")) {
            step.send = "1";
            ++state_;
        } else if (has(line, "Select"))
            step.send = "Q\n";
        break;
    case 2: {
        if (has(line, ",M]"))
            break;
        std::string u = upper(line);
        std::size_t at = satellite_upper_.empty() ? std::string::npos : u.find(satellite_upper_);
        // The menu number stands 4 places before the name; a name too near the start of the
        // line has no number and does not count as found.
        if (at != std::string::npos && at >= 4) {
            number_ = std::string(line.substr(at - 4, 2));
            state_ = 3;
        } else if (has(u, "SELECT")) {
            step.stop_tracking = true;
            step.close_port = true;
            step.error_text = kTrakBoxNotFoundText;
            step.error_caption = kTrakBoxErrorCaption;
            state_ = 0;
        }
        break;
    }
    case 3:
        if (has(line, "Select")) {
            step.send = number_ + "\n";
            state_ = 4;
        }
        break;
    case 4:
        if (has(line, " Hz"))
            state_ = 5;
        break;
    case 5:
        state_ = 6;
        break;
    case 6:
        if (!(line.size() >= 2 && (line[1] == '*' || line[1] == '!')))
            step.send = "E";
        step.close_port = true;
        state_ = 0;
        break;
    case 12:
        if (has(line, ",M]"))
            break;
        if (has(line, "Select")) {
            step.stop_tracking = true;
            step.close_port = true;
            state_ = 0;
        } else
            step.satellite_names = menu_names(line);
        break;
    case 41:
        if (has(line, "'Q' Return"))
            step.send = "Q\n";
        else if (has(line, ",M]")) {
            step.send = "7";
            step.end_dialogue = true;
            step.kill_timeout = true;
            state_ = 0;
        } else if (has(line, "Select"))
            step.send = "Q\n";
        break;
    default:
        break;
    }
    return step;
}

char mode_letter(std::uint16_t mode)
{
    switch (mode) {
    case 3: return 'U';
    case 4: return 'L';
    case 5:
    case 6: return 'C';
    default: return 'F';
    }
}

std::string host_start(const StartContext& s)
{
    std::string out = "MU";
    out += mode_letter(s.uplink_mode);
    out += "\nMD";
    out += mode_letter(s.downlink_mode);
    out += "\n";
    return out;
}

std::string host_tick(LastSent& last, const Aim& a)
{
    std::string out;
    char buf[64];
    if (std::fabs(a.azimuth_deg - last.azimuth) > 1.0 || std::fabs(a.elevation_deg - last.elevation) > 1.0) {
        std::snprintf(buf, sizeof buf, "AZ%3.0f_EL%3.0f\n", a.azimuth_deg, a.elevation_deg);
        out += buf;
        last.azimuth = a.azimuth_deg;
        last.elevation = a.elevation_deg;
    }
    if (a.uplink_hz && std::fabs(*a.uplink_hz - last.uplink) > 100.0) {
        std::snprintf(buf, sizeof buf, "FU%.0f\n", std::trunc(*a.uplink_hz));
        out += buf;
        last.uplink = *a.uplink_hz;
    }
    if (a.downlink_hz && std::fabs(*a.downlink_hz - last.downlink) > 100.0) {
        std::snprintf(buf, sizeof buf, "FD%.0f\n", std::trunc(*a.downlink_hz));
        out += buf;
        last.downlink = *a.downlink_hz;
    }
    return out;
}

std::string stop()
{
    return "Q\n";
}

} // namespace orva::station::trakbox
