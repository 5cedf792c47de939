#include "station/app/setup/housekeeping_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QVBoxLayout>

#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "station/app/setup/form_widget.h"
#include "station/housekeeping/directory_edit.h"
#include "station/housekeeping/housekeeping.h"

namespace orva::station::app {

QStringList pacsat_names(const platform::Store& store)
{
    QStringList names;
    for (const auto& sub : store.subkeys(settings::keys::satellites)) {
        auto r = settings::read_satellite_key(store, platform::join_key_path(settings::keys::satellites, sub));
        if (r.type() == settings::SatelliteType::PacSat && !r.name.empty())
            names << QString::fromStdString(r.name);
    }
    return names;
}

namespace {

QLineEdit* digits(QWidget* parent, int n, std::uint32_t value)
{
    auto* e = new QLineEdit(QString::number(value), parent);
    e->setMaxLength(n);
    e->setValidator(new QIntValidator(0, n == 2 ? 99 : 9999, e));
    return e;
}

} // namespace

HousekeepingDialog::HousekeepingDialog(platform::Store& store, StationNow now, QWidget* parent)
    : QDialog(parent), store_(store), now_(std::move(now))
{
    setWindowTitle("File Housekeeping");
    auto h = settings::read_helmo(store);
    all = new QRadioButton("All Satellites", this);
    single = new QRadioButton("Single Satellite", this);
    all->setChecked(true);
    satellite = new QComboBox(this);
    satellite->addItems(pacsat_names(store));
    satellite->setCurrentIndex(-1);
    act = new QCheckBox("*.ACT", this);
    dlx = new QCheckBox("*.DLX", this);
    ul = new QCheckBox("*.UL", this);
    act->setChecked(h.fh_delete_act);
    dlx->setChecked(h.fh_delete_dlx);
    ul->setChecked(h.fh_delete_ul);
    files_age = digits(this, 2, h.fh_oldest_files);
    messages = new QCheckBox("Messages", this);
    my_messages = new QCheckBox("My Messages", this);
    messages->setChecked(h.fh_delete_msg);
    my_messages->setChecked(h.fh_delete_mymsg);
    messages_age = digits(this, 2, h.fh_oldest_messages);
    no_action = new QRadioButton("No Action", this);
    delete_oldest = new QRadioButton("Delete Oldest", this);
    (h.fh_pfh_action == 1 ? delete_oldest : no_action)->setChecked(true);
    keep = digits(this, 2, h.fh_keep_pfh_files);

    auto* which = new QGroupBox("Satellites", this);
    auto* wl = new QVBoxLayout(which);
    for (QWidget* w : std::initializer_list<QWidget*>{all, single, satellite})
        wl->addWidget(w);
    auto* files = new QGroupBox("Delete Files", this);
    auto* fl = new QFormLayout(files);
    fl->addRow(act);
    fl->addRow(dlx);
    fl->addRow(ul);
    fl->addRow("Age (Days)", files_age);
    auto* msgs = new QGroupBox("Message Files", this);
    auto* ml = new QFormLayout(msgs);
    ml->addRow(messages);
    ml->addRow(my_messages);
    ml->addRow("Age (Days)", messages_age);
    auto* pfh = new QGroupBox("PFH Files", this);
    auto* pl = new QFormLayout(pfh);
    pl->addRow(no_action);
    pl->addRow(delete_oldest);
    pl->addRow("Keep (Files)", keep);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &HousekeepingDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &HousekeepingDialog::reject);
    auto* layout = new QVBoxLayout(this);
    for (QWidget* w : std::initializer_list<QWidget*>{which, files, msgs, pfh, buttons})
        layout->addWidget(w);
}

void HousekeepingDialog::accept()
{
    if (single->isChecked() && satellite->currentIndex() < 0) {
        show_message(this, "Error", "You have selected \"Single Satellite\" but have not selected a satellite to use.");
        return;
    }
    auto h = settings::read_helmo(store_);
    h.fh_delete_act = act->isChecked();
    h.fh_delete_dlx = dlx->isChecked();
    h.fh_delete_ul = ul->isChecked();
    h.fh_oldest_files = files_age->text().toUInt();
    h.fh_delete_msg = messages->isChecked();
    h.fh_delete_mymsg = my_messages->isChecked();
    h.fh_oldest_messages = messages_age->text().toUInt();
    h.fh_pfh_action = delete_oldest->isChecked() ? 1 : 0;
    h.fh_keep_pfh_files = keep->text().toUInt();
    for (const char* name : {"FH Delete ACT", "FH Delete DLX", "FH Delete UL", "FH Oldest Files", "FH Delete MSG",
                             "FH Delete MYMSG", "FH Oldest Messages", "FH PFH Action", "FH Keep PFH Files"}) {
        if (Status s = settings::write_one(store_, settings::keys::helmo, settings::helmo_fields(), h, name); !s) {
            show_message(this, "Helmo", "The housekeeping settings could not be written: " + QString::fromStdString(s.error().message));
            return;
        }
    }
    std::optional<std::string> only;
    if (single->isChecked())
        only = satellite->currentText().toStdString();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    HousekeepingRun run = run_housekeeping(store_, only, now_());
    QApplication::restoreOverrideCursor();
    last_count = run.count();
    if (!run.failures.empty()) {
        QString list;
        for (const auto& f : run.failures)
            list += QString::fromStdString(f) + "\n";
        show_message(this, "Helmo", QString("%1 files deleted; these could not be deleted:\n").arg(run.count()) + list);
    }
    QDialog::accept();
}

EditDirectoryDialog::EditDirectoryDialog(platform::Store& store, platform::Messenger* messenger, StationNow now, QWidget* parent)
    : QDialog(parent), store_(store), messenger_(messenger), now_(std::move(now))
{
    setWindowTitle("Edit Directory");
    satellite = new QComboBox(this);
    satellite->addItems(pacsat_names(store));
    satellite->setCurrentIndex(-1);
    status = new QLabel(this);
    remove_holes = new QRadioButton("Remove holes", this);
    reset_date = new QRadioButton("Reset Date", this);
    remove_holes->setAutoExclusive(false);
    reset_date->setAutoExclusive(false);
    age = new QLineEdit("0", this);
    age->setMaxLength(4);
    age->setValidator(new QIntValidator(0, 9999, age));
    auto* form = new QFormLayout;
    form->addRow("Satellite", satellite);
    form->addRow("Current Status", status);
    form->addRow(remove_holes);
    form->addRow(reset_date);
    form->addRow("Age to make Dir (days)", age);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &EditDirectoryDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &EditDirectoryDialog::reject);
    connect(satellite, &QComboBox::currentIndexChanged, this, &EditDirectoryDialog::show_status);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void EditDirectoryDialog::show_status()
{
    auto r = settings::read_satellite(store_, satellite->currentText().toStdString(), settings::Program::Helmo);
    if (!r) {
        status->clear();
        return;
    }
    auto text = directory_status(r->satellite_directory);
    status->setText(text ? QString::fromStdString(*text) : QString());
}

void EditDirectoryDialog::accept()
{
    if (satellite->currentIndex() < 0) {
        show_message(this, "Helmo", "Choose a satellite.");
        return;
    }
    DirectoryEditChoice choice{remove_holes->isChecked(), reset_date->isChecked(), age->text().toUInt()};
    Status s = edit_directory(store_, messenger_, satellite->currentText().toStdString(), choice, now_());
    if (!s) {
        show_message(this, "Helmo", QString::fromStdString(s.error().message));
        return;
    }
    QDialog::accept();
}

} // namespace orva::station::app
