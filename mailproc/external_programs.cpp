#include "mailproc/external_programs.h"

namespace orva::mailproc {

ExternalCommand decompressor_command(Compression c, const std::string& body_name)
{
    switch (c) {
    // -U keeps the names as the archive spells them; nomarch would lower-case them.
    case Compression::Arc: return {"PKUNPAK.EXE", {"-U", body_name}};
    case Compression::Zip: return {"PKUNZIP.EXE", {"-e", body_name}};
    case Compression::Lha: return {"LHA.EXE", {"e", body_name}};
    default: return {};
    }
}

ExternalCommand elemix_command(const std::filesystem::path& keps_folder, const std::string& name, std::uint8_t type)
{
    return {"ELEMIX.EXE", {"F~" + (keps_folder / name).string(), std::string("K~") + (type == 8 ? "NASA" : "AMSAT")}};
}

ExternalCommand lectel_command(const std::filesystem::path& message_file)
{
    return {"LECTEL.EXE", {message_file.string()}};
}

} // namespace orva::mailproc
