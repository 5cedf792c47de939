#include "station/app/hamlib_setup_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

namespace orva::station {

namespace {
void fill_models(QComboBox* box, const std::vector<HamlibModel>& models, std::uint32_t current)
{
    for (const HamlibModel& m : models) {
        box->addItem(QString("%1  %2 %3").arg(m.number).arg(QString::fromStdString(m.maker), QString::fromStdString(m.name)),
                     QVariant::fromValue(m.number));
        if (m.number == current)
            box->setCurrentIndex(box->count() - 1);
    }
}
void fill_speeds(QComboBox* box, std::uint32_t current)
{
    box->addItem("Model default", 0u);
    for (std::uint32_t s : {1200u, 2400u, 4800u, 9600u, 19200u, 38400u, 57600u, 115200u}) {
        box->addItem(QString::number(s), s);
        if (s == current)
            box->setCurrentIndex(box->count() - 1);
    }
}
} // namespace

HamlibSetupDialog::HamlibSetupDialog(platform::Store& store, QWidget* parent) : QDialog(parent), store_(store)
{
    setWindowTitle("Rotator and Radio Setup");
    HamlibConfig c = read_hamlib_config(store);
    auto* form = new QFormLayout;
    rot_model_ = new QComboBox(this);
    rig_model_ = new QComboBox(this);
    rot_speed_ = new QComboBox(this);
    rig_speed_ = new QComboBox(this);
    rot_device_ = new QLineEdit(QString::fromStdString(c.rotator_device), this);
    rig_device_ = new QLineEdit(QString::fromStdString(c.radio_device), this);
    rot_device_->setMaxLength(500);
    rig_device_->setMaxLength(500);
    fill_models(rot_model_, hamlib_rotator_models(), c.rotator_model);
    fill_models(rig_model_, hamlib_rig_models(), c.radio_model);
    fill_speeds(rot_speed_, c.rotator_speed);
    fill_speeds(rig_speed_, c.radio_speed);
    form->addRow("Rotator model", rot_model_);
    form->addRow("Rotator device", rot_device_);
    form->addRow("Rotator speed", rot_speed_);
    form->addRow("Radio model", rig_model_);
    form->addRow("Radio device", rig_device_);
    form->addRow("Radio speed", rig_speed_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &HamlibSetupDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &HamlibSetupDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

HamlibConfig HamlibSetupDialog::chosen() const
{
    HamlibConfig c;
    c.rotator_model = rot_model_->currentData().toUInt();
    c.radio_model = rig_model_->currentData().toUInt();
    c.rotator_device = rot_device_->text().trimmed().toStdString();
    c.radio_device = rig_device_->text().trimmed().toStdString();
    c.rotator_speed = rot_speed_->currentData().toUInt();
    c.radio_speed = rig_speed_->currentData().toUInt();
    return c;
}

void HamlibSetupDialog::accept()
{
    HamlibConfig c = chosen();
    if (c.rotator_device.empty() || c.radio_device.empty()) {
        QMessageBox::warning(this, "Helmo", "Enter a device for the rotator and the radio (a serial device or host:port).");
        return;
    }
    if (Status s = write_hamlib_config(store_, c); !s) {
        QMessageBox::warning(this, "Helmo", QString::fromStdString("The settings could not be saved: " + s.error().message));
        return;
    }
    QDialog::accept();
}

} // namespace orva::station
