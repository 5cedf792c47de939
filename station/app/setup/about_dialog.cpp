#include "station/app/setup/about_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/version.h"


namespace orva::station::app {

QString version_text(int major, int minor, int patch, int tweak)
{
    return QString("V%1.%2%3%4").arg(major).arg(minor).arg(patch % 10).arg(QChar('a' + (tweak % 26)));
}

QStringList about_lines(const std::filesystem::path& program_dir)
{
    // (name shown, executable) in the order of the box.
    static const std::pair<const char*, const char*> programs[] = {
        {"Helmo", "helmo"},     {"Tessel", "tessel"}, {"Dispo", "dispo"},   {"Brek", "brek"},
        {"Quillet", "quillet"}, {"Lectel", "lectel"}, {"Elemix", "elemix"}, {"Orva-TLM", "orva-tlm"},
    };
    QStringList lines;
    for (const auto& [name, file] : programs) {
        std::error_code ec;
        if (std::filesystem::exists(program_dir / file, ec))
            lines << QString("%1 %2").arg(name, version_text(suite_version().major, suite_version().minor,
                                                               suite_version().patch, 0));
    }
    return lines;
}

AboutDialog::AboutDialog(const std::filesystem::path& program_dir, QWidget* parent) : QDialog(parent)
{
    setWindowTitle("About Helmo");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Orva - a ground station for PACSAT satellites", this));
    for (const auto& l : about_lines(program_dir))
        layout->addWidget(new QLabel(l, this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}

} // namespace orva::station::app
