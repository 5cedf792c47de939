// Composes PACSAT file headers: the upload client and the test satellite need real ones.
#pragma once

#include "common/pfh/pfh.h"

#include <cstdint>
#include <span>
#include <vector>

namespace orva::pfh {

// Writes the present fields of `header` in id order, then its other items, then the terminator.
// Item 10 is always written, with the computed sum; header_length and the header_checksum
// field of `header` are ignored.
std::vector<std::uint8_t> build_pfh(const PfhHeader& header);

// A whole file: fills in item 4 (header plus body), item 9 (body sum) and item 11 (the header
// length) and appends the body.
std::vector<std::uint8_t> build_pfh_file(PfhHeader header, std::span<const std::uint8_t> body);

} // namespace orva::pfh
