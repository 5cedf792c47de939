#include "platform/user_guide.h"

#include <system_error>

namespace orva::platform {

namespace fs = std::filesystem;

std::optional<fs::path> find_user_guide(const fs::path& program_dir)
{
    std::vector<fs::path> places = {
        program_dir / ".." / "share" / "orva" / "user-guide.html",
        program_dir / ".." / "share" / "doc" / "orva" / "user-guide.html",
    };
#ifdef ORVA_SOURCE_DOCS
    places.emplace_back(fs::path(ORVA_SOURCE_DOCS) / "user-guide.html");
#endif
    for (const auto& p : places) {
        std::error_code ec;
        if (fs::is_regular_file(p, ec))
            return fs::weakly_canonical(p, ec);
    }
    return std::nullopt;
}

Status open_user_guide(std::string_view section, const Launcher& launcher)
{
    auto guide = find_user_guide(launcher.environment().program_dir);
    if (!guide)
        return make_error("The user guide (user-guide.html) is not installed beside " +
                    launcher.environment().program_dir.string());
    std::string url = "file://" + guide->string();
    if (!section.empty())
        url += "#" + std::string(section);
    auto p = launcher.start(std::vector<std::string>{"xdg-open", url});
    if (!p)
        return make_error("Cannot open the user guide: " + p.error().message);
    return {};
}

} // namespace orva::platform
