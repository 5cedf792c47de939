#include "ccdview/app/settings_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "common/elements/file_io.h"

namespace orva::ccdview {

SettingsDialog::SettingsDialog(const settings::PixoraSettings& current, const QString& default_folder,
                               QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle("Pixora Register Files");
    auto* form = new QFormLayout;
    kep_ = new QLineEdit(this);
    obs_ = new QLineEdit(this);
    images_ = new QLineEdit(this);
    form->addRow("Drive, Path (Directory) for Orva.Kep", kep_);
    form->addRow("Drive, Path (Directory) for Orva.Obs", obs_);
    form->addRow("Drive, Path (Directory) for Images", images_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (try_accept())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    kep_->setMinimumWidth(320);

    first_start_ = current.initialised.find("Yes") == std::string::npos;
    if (first_start_) {
        // The suite's own folder stands where the original program proposed "c:\Orva".
        kep_->setText(default_folder);
        obs_->setText(default_folder);
        images_->setText(QDir(default_folder).filePath("Images"));
    } else {
        kep_->setText(QString::fromStdString(current.kep_directory));
        obs_->setText(QString::fromStdString(current.obs_directory));
        images_->setText(QString::fromStdString(current.images_directory));
    }
}

settings::PixoraSettings SettingsDialog::chosen() const
{
    settings::PixoraSettings s;
    s.kep_directory = kep_->text().toStdString();
    s.obs_directory = obs_->text().toStdString();
    s.images_directory = images_->text().toStdString();
    s.initialised = "Yes";
    return s;
}

bool SettingsDialog::try_accept()
{
    auto check = [this](const QString& folder, const char* name) {
        auto path = elements::find_nocase(folder.toStdString(), name);
        QFile f(QString::fromStdString(path.string()));
        if (folder.isEmpty() || !f.open(QIODevice::ReadOnly)) {
            message("Pixora", "Cannot locate and open file\n" + QString::fromStdString(path.string()));
            return false;
        }
        return true;
    };
    if (!check(kep_->text(), "Orva.Kep") || !check(obs_->text(), "Orva.Obs"))
        return false;
    if (images_->text().isEmpty() || !QDir::setCurrent(images_->text())) {
        message("Pixora", "Could not set Directory to\n" + images_->text());
        return false;
    }
    return true;
}

} // namespace orva::ccdview
