// Controller output is outside bytes: the reply reader, the line splitter and every dialogue
// must take any of it.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "station/modem/dsp_modem.h"
#include "station/rotator/easycomm.h"
#include "station/rotator/line_reader.h"
#include "station/rotator/sattrak.h"
#include "station/rotator/trakbox.h"

using namespace orva::station;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::span<const std::uint8_t> bytes(data, size);
    easycomm::ReplyReader replies(nullptr);
    replies.feed(bytes);

    for (int state : {1, 11, 41}) {
        trakbox::MenuDialogue d(state, "AO-16");
        LineReader r(trakbox::kLineEnds, trakbox::kLineLimit);
        r.feed(bytes, [&](std::string_view line) { (void)d.on_line(line); });
    }
    for (int state : {1, 11, 21}) {
        sattrak::PromptDialogue d(state, "AO-16", 145.9e6);
        LineReader r(sattrak::kLineEnds, sattrak::kLineLimit);
        r.feed(bytes, [&](std::string_view line) { (void)d.on_line(line); });
    }
    dsp::Dsp12Dialogue dsp12("9600");
    LineReader r(dsp::kLineEnds, dsp::kLineLimit);
    r.feed(bytes, [&](std::string_view line) { (void)dsp12.on_line(line); });
    double v = 0;
    (void)parse_number(std::string_view(reinterpret_cast<const char*>(data), size), v);
    return 0;
}
