#include "cli/satsim/ftl0/uploaded_file.h"

#include "common/atomic_file.h"
#include "common/pfh/pfh.h"
#include "common/pfh/pfh_builder.h"

namespace orva::satsim {

std::optional<ServedFile> served_upload(const FinishedUpload& upload, std::uint32_t now) {
    auto bytes = read_file(upload.path);
    if (!bytes) return std::nullopt;
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
