#include "mailproc/command_line.h"

#include "common/tilde_args.h"

namespace orva::mailproc {

namespace {

std::optional<std::string> kept(std::optional<std::string> v)
{
    if (v && v->size() > 13)
        v->resize(13);
    return v;
}

} // namespace

DispoCommand parse_dispo_command(std::string_view text)
{
    auto args = TildeArgs::parse(text);
    return DispoCommand{kept(args.get('S')), kept(args.get('F'))};
}

DispoCommand parse_dispo_command(int argc, char** argv)
{
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1)
            text += ' ';
        text += argv[i];
    }
    return parse_dispo_command(text);
}

} // namespace orva::mailproc
