// "Pixora Register Files": where the element file, the places file and the images are.
#pragma once

#include <QDialog>
#include <functional>

#include "common/settings/suite_settings.h"

class QLineEdit;

namespace orva::ccdview {

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(const settings::PixoraSettings& current, const QString& default_folder, QWidget* parent = nullptr);

    std::function<void(const QString& caption, const QString& text)> message;

    // OK: checks the files and the folder; on success `result()` holds the new settings.
    bool try_accept();
    settings::PixoraSettings chosen() const;
    QLineEdit* kep_field() const { return kep_; }
    QLineEdit* obs_field() const { return obs_; }
    QLineEdit* images_field() const { return images_; }
    bool first_start() const { return first_start_; }

private:
    QLineEdit* kep_ = nullptr;
    QLineEdit* obs_ = nullptr;
    QLineEdit* images_ = nullptr;
    bool first_start_ = false;
};

inline constexpr const char* kFirstStartText =
    "REGISTRY INITIALISATION !!!\n"
    "Please enter the drive, path and directory\n"
    "(if applicable) for the files and locations\n"
    "nominated. If the information entered is not\n"
    "correct you will receive an error message.\n"
    "Correct the info entered or CANCEL to exit.\n\n";

} // namespace orva::ccdview
