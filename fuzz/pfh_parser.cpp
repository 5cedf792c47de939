// PACSAT file headers from the air: parse, checksum, sniff, and rebuild what parsed.
#include "common/pfh/file_size_sniffer.h"
#include "common/pfh/pfh.h"
#include "common/pfh/pfh_builder.h"

#include <cstdlib>

using namespace orva::pfh;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    (void)compute_header_checksum(bytes);
    (void)body_checksum(bytes);
    const auto sniffed = sniff_first_fragment(bytes);
    if (sniffed.header_length && *sniffed.header_length > size) std::abort();

    // Fed in pieces, the sniffer finds the same size.
    if (size > 1) {
        FileSizeSniffer s;
        const std::size_t cut = data[0] % size;
        s.feed(bytes.first(std::min<std::size_t>(cut, 256)));
        if (cut <= 256 && size - cut <= 256) {
            s.feed(bytes.subspan(cut));
            if (size <= 256 && cut > 0 && s.file_size() != sniffed.file_size) std::abort();
        }
    }

    auto parsed = parse_pfh(bytes, ParseOptions{.check_header_checksum = false});
    if (!parsed) return 0;
    if (parsed->header_length > size) std::abort();
    // What parsed rebuilds into a header that parses to the same fields.
    const auto rebuilt = build_pfh(*parsed);
    auto again = parse_pfh(rebuilt);
    if (!again) std::abort();
    if (again->file_number != parsed->file_number || again->file_size != parsed->file_size ||
        again->title != parsed->title || again->destination != parsed->destination ||
        again->user_file_name != parsed->user_file_name)
        std::abort();
    (void)parse_pfh(bytes);
    return 0;
}
