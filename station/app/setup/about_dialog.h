// The About box: each suite program found beside this one, with its version as "Helmo V0.10a"
// (major, minor, the third part as a digit, the fourth as a letter). The version is the one the
// suite was built with, embedded at build time; an absent program is left out.
#pragma once

#include <QDialog>
#include <QStringList>

#include <filesystem>

namespace orva::station::app {

// "V%d.%d%d%c" of the version numbers.
QString version_text(int major, int minor, int patch, int tweak);
// The lines of the box for the programs present in `program_dir`.
QStringList about_lines(const std::filesystem::path& program_dir);

class AboutDialog : public QDialog {
    Q_OBJECT
public:
    explicit AboutDialog(const std::filesystem::path& program_dir, QWidget* parent = nullptr);
};

} // namespace orva::station::app
