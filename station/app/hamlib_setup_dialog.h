// The "Setup" chooser of a "Level1" station: the Hamlib rotator and radio models, their
// devices (a serial device, or rotctld's and rigctld's host:port) and speeds.
#pragma once

#include <QDialog>

#include "platform/store/store.h"
#include "station/radio/hamlib_driver.h"

class QComboBox;
class QLineEdit;

namespace orva::station {

class HamlibSetupDialog final : public QDialog {
    Q_OBJECT
public:
    HamlibSetupDialog(platform::Store& store, QWidget* parent = nullptr);

    // What the fields say now; OK writes it.
    HamlibConfig chosen() const;
    QComboBox* rotator_models() const { return rot_model_; }
    QComboBox* radio_models() const { return rig_model_; }
    QLineEdit* rotator_device() const { return rot_device_; }
    QLineEdit* radio_device() const { return rig_device_; }
    QComboBox* rotator_speed() const { return rot_speed_; }
    QComboBox* radio_speed() const { return rig_speed_; }

    void accept() override;

private:
    platform::Store& store_;
    QComboBox *rot_model_, *rig_model_, *rot_speed_, *rig_speed_;
    QLineEdit *rot_device_, *rig_device_;
};

} // namespace orva::station
