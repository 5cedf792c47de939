// Small writers of the public archive formats, for test data the installed tools cannot make:
// ARC (nomarch only extracts), LHA level 0 with stored members (lhasa only extracts), and ZIP
// entries with hostile names and links (the zip tool refuses to write those).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orva::mailproc::test {

struct Member {
    std::string name;
    std::string data;
    bool symlink = false; // ZIP only: `data` is the link's target
};

std::uint16_t crc16_arc(const std::string& data);
std::uint32_t crc32(const std::string& data);

std::vector<std::uint8_t> make_arc(const std::vector<Member>& members);
std::vector<std::uint8_t> make_lzh(const std::vector<Member>& members);
std::vector<std::uint8_t> make_zip(const std::vector<Member>& members);

} // namespace orva::mailproc::test
