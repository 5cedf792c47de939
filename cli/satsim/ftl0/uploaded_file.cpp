#include "cli/satsim/ftl0/uploaded_file.h"

#include "common/atomic_file.h"
#include "common/pfh/pfh.h"
#include "common/pfh/pfh_builder.h"
#include "common/pfh/upload_layout.h"

#include <algorithm>

namespace orva::satsim {

namespace {

std::size_t le16_at(const std::vector<std::uint8_t>& b, std::size_t at)
{
    return at + 2 <= b.size() ? std::size_t(b[at] | b[at + 1] << 8) : 0;
}

// A file whose header a server has written into in place: served byte for byte as it holds it.
// Its directory entry runs to the body offset found at its place; where that makes no sense, to
// the terminator as far as the items can be followed.
std::optional<ServedFile> served_as_filed(std::vector<std::uint8_t> bytes, std::uint32_t file_number, std::uint32_t now)
{
    ServedFile f;
    f.file_number = file_number;
    f.upload_time = now;
    std::size_t header_length = le16_at(bytes, pfh::kBodyOffsetItemAt + pfh::kItemHead);
    if (header_length < pfh::kSourceItemAt || header_length > bytes.size()) {
        pfh::ParseOptions lenient;
        lenient.check_header_checksum = false;
        lenient.allow_zero_file_number = true;
        auto parsed = pfh::parse_pfh(bytes, lenient);
        header_length = parsed ? parsed->header_length : std::min<std::size_t>(bytes.size(), 256);
    }
    f.header_length = header_length;
    f.bytes = std::move(bytes);
    return f;
}

} // namespace

std::optional<ServedFile> served_upload(const FinishedUpload& upload, std::uint32_t now) {
    auto bytes = read_file(upload.path);
    if (!bytes) return std::nullopt;
    if (upload.filed_in_place) return served_as_filed(std::move(*bytes), upload.file_number, now);
    // A header in the upload layout is filed as a server does it, which for such a header is right.
    if (auto layout = pfh::check_upload_layout(*bytes, bytes->size())) {
        pfh::ParseOptions options;
        options.allow_zero_file_number = true;
        auto parsed = pfh::parse_pfh(*bytes, options);
        file_in_place(*bytes, upload.file_number, now, std::string(parsed ? parsed->source.value_or("") : ""));
        auto f = served_as_filed(std::move(*bytes), upload.file_number, now);
        if (f && parsed) f->file_type = parsed->file_type.value_or(0);
        return f;
    }
    ServedFile f;
    f.file_number = upload.file_number;
    f.upload_time = now;
    // An uploaded header carries file number 0; the server gives it its number and upload time.
    pfh::ParseOptions options;
    options.allow_zero_file_number = true;
    auto parsed = pfh::parse_pfh(*bytes, options);
    if (parsed && parsed->file_size == bytes->size()) {
        pfh::PfhHeader h = std::move(*parsed);
        const std::span<const std::uint8_t> body(bytes->data() + h.header_length, bytes->size() - h.header_length);
        h.file_number = upload.file_number;
        h.upload_time = now;
        f.file_type = h.file_type.value_or(0);
        f.bytes = pfh::build_pfh_file(std::move(h), body);
        auto back = pfh::parse_pfh(f.bytes);
        if (!back) return std::nullopt;
        f.header_length = back->header_length;
        return f;
    }
    pfh::PfhHeader h;
    h.file_number = upload.file_number;
    h.file_name = "UPLOAD  ";
    h.file_ext = "   ";
    h.file_type = 0;
    h.create_time = now;
    h.upload_time = now;
    h.source = "GROUND";
    h.destination = "ALL";
    h.title = upload.path.filename().string();
    f.bytes = pfh::build_pfh_file(h, *bytes);
    auto back = pfh::parse_pfh(f.bytes);
    if (!back) return std::nullopt;
    f.header_length = back->header_length;
    return f;
}

} // namespace orva::satsim
