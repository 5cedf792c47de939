#include "station/modem/dsp_modem.h"

namespace orva::station::dsp {

ModemSetup read_modem_setup(const platform::Store& store, const std::string& key)
{
    ModemSetup s;
    auto type = store.read_integer(key, "TNC Type");
    auto port = store.read_integer(key, "Port");
    auto speed = store.read_integer(key, "Speed");
    auto mode = store.read_value(key, "DSP Mode");
    if (!type || !port || !speed || !mode || mode->data.size() < 2)
        return s;
    std::string text(mode->data.begin(), mode->data.end());
    text = text.substr(0, text.find('\0'));
    if (text.size() > 4)
        text.resize(4);
    if (text.size() < 2)
        return s;
    s.port = *port;
    s.speed = *speed;
    s.mode = text;
    s.kind = *type == 3 ? ModemKind::Dsp12 : *type == 4 ? ModemKind::Dsp2232 : ModemKind::None;
    return s;
}

std::string dsp2232_command(std::string_view mode)
{
    return "\rMODEM " + std::string(mode) + "\r";
}

DialogueStep Dsp12Dialogue::on_line(std::string_view line)
{
    DialogueStep step;
    if (finished_)
        return step;
    if (line.find("cmd") != std::string_view::npos) {
        prompt_seen_ = true;
        step.send = "Q\r";
    } else if (line.find("^C^C^C") != std::string_view::npos) {
        step.send = "\r";
    } else if (line.find("Main Menu") != std::string_view::npos) {
        if (!mode_.empty())
            step.send = mode_ + "\r";
        step.kill_timeout = true;
        step.close_port = true;
        finished_ = true;
    }
    return step;
}

} // namespace orva::station::dsp
