#include "cli/satsim/served_file.h"

#include "common/atomic_file.h"
#include "common/pfh/pfh.h"
#include "common/pfh/pfh_builder.h"

#include <algorithm>
#include <cctype>

namespace orva::satsim {

namespace fs = std::filesystem;

namespace {

std::string padded(std::string s, std::size_t n)
{
    for (char& c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    s.resize(n, ' ');
    return s;
}

} // namespace

void assign_ranges(std::vector<ServedFile>& files)
{
    std::sort(files.begin(), files.end(), [](const ServedFile& a, const ServedFile& b) {
        return a.upload_time != b.upload_time ? a.upload_time < b.upload_time : a.file_number < b.file_number;
    });
    std::uint32_t previous = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        files[i].t_old = i == 0 ? 0 : previous + 1;
        files[i].t_new = std::max(files[i].upload_time, files[i].t_old);
        previous = files[i].t_new;
    }
}

std::uint32_t next_free_number(const std::vector<ServedFile>& files, std::uint32_t first)
{
    for (const ServedFile& f : files)
        first = std::max(first, f.file_number + 1);
    return first;
}

Result<std::vector<ServedFile>> load_folder(const fs::path& folder, std::uint32_t now, std::uint32_t first_number)
{
    std::vector<fs::path> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.is_regular_file())
            names.push_back(e.path());
    if (ec)
        return make_error("cannot list " + folder.string() + ": " + ec.message());
    std::sort(names.begin(), names.end());

    std::vector<ServedFile> out;
    std::uint32_t number = first_number;
    for (std::size_t i = 0; i < names.size(); ++i) {
        auto bytes = read_file(names[i]);
        if (!bytes)
            return bytes.error();
        ServedFile f;
        auto parsed = pfh::parse_pfh(*bytes);
        if (parsed && parsed->file_size == bytes->size()) {
            f.file_number = parsed->file_number;
            f.file_type = parsed->file_type.value_or(0);
            f.upload_time = parsed->upload_time.value_or(now - std::uint32_t(600 * (names.size() - i)));
            f.header_length = parsed->header_length;
            f.bytes = std::move(*bytes);
        } else {
            pfh::PfhHeader h;
            h.file_number = number++;
            h.file_name = padded(names[i].stem().string().substr(0, 8), 8);
            std::string ext = names[i].extension().string();
            h.file_ext = padded(ext.empty() ? "" : ext.substr(1, 3), 3);
            h.file_type = 0;
            h.create_time = now - std::uint32_t(600 * (names.size() - i)) - 60;
            h.upload_time = now - std::uint32_t(600 * (names.size() - i));
            h.source = "SATSIM";
            h.destination = "ALL";
            h.title = names[i].filename().string();
            f.file_number = h.file_number;
            f.upload_time = *h.upload_time;
            f.bytes = pfh::build_pfh_file(h, *bytes);
            auto back = pfh::parse_pfh(f.bytes);
            if (!back)
                return make_error("cannot build a header for " + names[i].string() + ": " + back.error().message);
            f.header_length = back->header_length;
        }
        out.push_back(std::move(f));
    }
    assign_ranges(out);
    return out;
}

} // namespace orva::satsim
