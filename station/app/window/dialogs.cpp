#include "station/app/window/dialogs.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>

#include "common/elements/kep_edit_fields.h"
#include "common/settings/keys.h"
#include "station/app/window/event_form.h"

namespace orva::station {

namespace {
MessageSink& sink()
{
    static MessageSink s;
    return s;
}
QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& q) { return q.toStdString(); }
QString hms(std::int64_t t)
{
    std::int64_t d = ((t % 86400) + 86400) % 86400;
    return QString::asprintf("%02d:%02d:%02d", int(d / 3600), int(d / 60 % 60), int(d % 60));
}
} // namespace

void set_message_sink(MessageSink s) { sink() = std::move(s); }

void show_message(QWidget* parent, const QString& text, const QString& caption)
{
    if (sink()) {
        sink()(text, caption);
        return;
    }
    QMessageBox::warning(parent, caption, text);
}

ChooseDialog::ChooseDialog(const QString& title, const std::vector<std::string>& names, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    list = new QListWidget(this);
    for (const std::string& n : names)
        list->addItem(q(n));
    if (list->count() > 0)
        list->setCurrentRow(0);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

std::string ChooseDialog::chosen() const { return list->currentItem() ? s(list->currentItem()->text()) : std::string(); }

TrackDialog::TrackDialog(const std::vector<std::string>& all, const std::vector<std::string>& tracked_names,
                         QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle("Track");
    auto* grid = new QGridLayout(this);
    available = new QListWidget(this);
    tracked = new QListWidget(this);
    for (const std::string& n : all)
        available->addItem(q(n));
    for (const std::string& n : tracked_names)
        tracked->addItem(q(n));
    auto* add_b = new QPushButton("&Add", this);
    auto* remove_b = new QPushButton("&Remove", this);
    auto* clear_b = new QPushButton("&Clear", this);
    auto* middle = new QVBoxLayout;
    middle->addWidget(add_b);
    middle->addWidget(remove_b);
    middle->addWidget(clear_b);
    middle->addStretch();
    grid->addWidget(new QLabel("Satellites", this), 0, 0);
    grid->addWidget(new QLabel("Tracked", this), 0, 2);
    grid->addWidget(available, 1, 0);
    grid->addLayout(middle, 1, 1);
    grid->addWidget(tracked, 1, 2);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    grid->addWidget(buttons, 2, 0, 1, 3);
    connect(add_b, &QPushButton::clicked, this, &TrackDialog::add);
    connect(remove_b, &QPushButton::clicked, this, &TrackDialog::remove);
    connect(clear_b, &QPushButton::clicked, this, &TrackDialog::clear);
    connect(available, &QListWidget::itemDoubleClicked, this, &TrackDialog::add);
    connect(tracked, &QListWidget::itemDoubleClicked, this, &TrackDialog::remove);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void TrackDialog::add()
{
    QListWidgetItem* item = available->currentItem();
    if (!item || !tracked->findItems(item->text(), Qt::MatchExactly).isEmpty())
        return;
    tracked->addItem(item->text());
}

void TrackDialog::remove() { delete tracked->takeItem(tracked->currentRow()); }

void TrackDialog::clear() { tracked->clear(); }

std::vector<std::string> TrackDialog::chosen() const
{
    std::vector<std::string> out;
    for (int i = 0; i < tracked->count(); ++i)
        out.push_back(s(tracked->item(i)->text()));
    return out;
}

PrePassNotice::PrePassNotice(const PassEntry& e, QWidget* parent) : QDialog(parent), name(e.name), aos(e.aos)
{
    setWindowTitle("Helmo - Event notification");
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* form = new QFormLayout(this);
    form->addRow("Satellite", new QLabel(q(e.name), this));
    form->addRow("AOS", new QLabel(hms(e.run_start), this));
    form->addRow("LOS", new QLabel(hms(e.run_end), this));
    form->addRow("Maximum El", new QLabel(QString::number(e.max_elevation), this));
    auto* row = new QHBoxLayout;
    ok = new QPushButton("OK", this);
    run = new QPushButton("Run", this);
    cancel = new QPushButton("Cancel", this);
    row->addWidget(ok);
    row->addWidget(run);
    row->addWidget(cancel);
    form->addRow(row);
}

// ---- Edit Schedule ----

EditScheduleDialog::EditScheduleDialog(const PassEntry& e, bool utc, std::int64_t local_offset,
                                       std::function<Status(const PassEdit&)> store, std::function<Status()> remove,
                                       QWidget* parent)
    : QDialog(parent), utc_(utc), offset_(local_offset), store_(std::move(store)), remove_(std::move(remove))
{
    setWindowTitle(QString::asprintf("Edit pass of %s", e.name.c_str()));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    const char* heads[] = {"Hour", "Min", "Sec", "Day", "Month", "Year"};
    for (int i = 0; i < 6; ++i)
        grid->addWidget(new QLabel(heads[i], this), 0, i + 1);
    const TimeFields af = time_fields(e.aos, utc, local_offset), lf = time_fields(e.los, utc, local_offset);
    grid->addWidget(new QLabel("AOS", this), 1, 0);
    grid->addWidget(new QLabel("LOS", this), 2, 0);
    for (int i = 0; i < 6; ++i) {
        aos_fields[std::size_t(i)] = new QLineEdit(q(af[std::size_t(i)]), this);
        los_fields[std::size_t(i)] = new QLineEdit(q(lf[std::size_t(i)]), this);
        for (QLineEdit* f : {aos_fields[std::size_t(i)], los_fields[std::size_t(i)]}) {
            f->setMaxLength(2);
            f->setMaximumWidth(40);
        }
        grid->addWidget(aos_fields[std::size_t(i)], 1, i + 1);
        grid->addWidget(los_fields[std::size_t(i)], 2, i + 1);
    }
    layout->addLayout(grid);
    auto* form = new QFormLayout;
    // Three characters, not two: a pass of priority 100 (the default) must not read back as 10.
    priority = new QLineEdit(QString::asprintf("%d", int(e.priority)), this);
    priority->setMaxLength(3);
    form->addRow("Priority", priority);
    status = new QComboBox(this);
    status->addItems({"Run this pass", "Do not run this pass"});
    status->setCurrentIndex(e.dont_run ? 1 : 0);
    form->addRow("Status", status);
    run_regardless = new QCheckBox("Run regardless of elevation", this);
    run_regardless->setChecked(e.run_regardless != 0);
    ignore_checking = new QCheckBox("Ignore pass checking", this);
    ignore_checking->setChecked(e.ignore_pass_checking != 0);
    form->addRow(run_regardless);
    form->addRow(ignore_checking);
    visible = new QLabel(q(visible_time_text(e.run_start, utc, local_offset) + "  to  " +
                           visible_time_text(e.run_end, utc, local_offset)),
                         this);
    form->addRow("Visible from", visible);
    layout->addLayout(form);
    auto* row = new QHBoxLayout;
    ok = new QPushButton("OK", this);
    del = new QPushButton("Delete", this);
    cancel = new QPushButton("Cancel", this);
    del->setVisible(bool(remove_));
    row->addWidget(ok);
    row->addWidget(del);
    row->addWidget(cancel);
    layout->addLayout(row);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, [this] { press_ok(); });
    connect(del, &QPushButton::clicked, this, [this] { press_delete(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

bool EditScheduleDialog::press_ok()
{
    TimeFields a, l;
    for (std::size_t i = 0; i < 6; ++i) {
        a[i] = s(aos_fields[i]->text());
        l[i] = s(los_fields[i]->text());
    }
    std::optional<std::int64_t> aos = fields_time(a, utc_, offset_), los = fields_time(l, utc_, offset_);
    if (!aos || !los) {
        show_message(this, !aos ? kBadAosFields : kBadLosFields, "Helmo");
        return false;
    }
    PassEdit edit;
    edit.aos = *aos;
    edit.los = *los;
    bool number = false;
    edit.priority = priority->text().trimmed().toInt(&number);
    if (!number)
        edit.priority = -1; // blank or not a number: outside 1-100
    edit.dont_run = status->currentIndex() == 1;
    edit.run_regardless = run_regardless->isChecked();
    edit.ignore_pass_checking = ignore_checking->isChecked();
    if (Status st = store_(edit); !st) {
        show_message(this, q(st.error().message), "Helmo");
        return false;
    }
    accept();
    return true;
}

bool EditScheduleDialog::press_delete()
{
    if (!remove_)
        return false;
    if (Status st = remove_(); !st) {
        show_message(this, q(st.error().message), "Helmo");
        return false;
    }
    accept();
    return true;
}

// ---- Edit Satellite Data ----

KepEditDialog::KepEditDialog(std::filesystem::path database, std::function<void()> reloaded, QWidget* parent)
    : QDialog(parent), path_(std::move(database)), reloaded_(std::move(reloaded))
{
    static const char* labels[] = {"Name", "Catalogue Number", "Element Set", "Epoch Time", "Mean Anomaly",
                                   "Mean Motion", "Inclination", "Eccentricity", "Arg. of Perigee", "R.A.A.N.",
                                   "Decay", "Orbit Number", "Blon", "Blat", "Beacon Freq", "Schedule"};
    static const int limits[] = {11, 11, 11, 16, 11, 11, 11, 11, 11, 11, 11, 7, 4, 4, 11, 64};
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    for (int i = 0; i < 16; ++i) {
        auto* e = new QLineEdit(this);
        e->setMaxLength(limits[i]);
        fields.push_back(e);
        form->addRow(labels[i], e);
    }
    layout->addLayout(form);
    auto* row = new QHBoxLayout;
    ok = new QPushButton("OK", this);
    prev = new QPushButton("Previous", this);
    next = new QPushButton("Next", this);
    find = new QPushButton("Find", this);
    del = new QPushButton("Delete", this);
    close = new QPushButton("Close", this);
    for (QPushButton* b : {ok, prev, next, find, del, close})
        row->addWidget(b);
    layout->addLayout(row);
    auto db = elements::KepDatabase::load(path_);
    if (db)
        db_ = std::move(*db);
    connect(ok, &QPushButton::clicked, this, [this] { store(); });
    connect(next, &QPushButton::clicked, this, [this] { show_slot(std::min(slot_ + 1, elements::kKepSlots - 1)); });
    connect(prev, &QPushButton::clicked, this, [this] { show_slot(std::max(slot_ - 1, 0)); });
    connect(del, &QPushButton::clicked, this, [this] { delete_slot(); });
    connect(find, &QPushButton::clicked, this, [this] { find_mode(); });
    connect(close, &QPushButton::clicked, this, [this] {
        if (finding_) {
            finding_ = false;
            show_slot(slot_);
        } else {
            reject();
        }
    });
    show_slot(0);
}

void KepEditDialog::show_slot(int slot)
{
    slot_ = slot;
    finding_ = false;
    for (QLineEdit* f : fields)
        f->setEnabled(true);
    for (QPushButton* b : {next, prev, find, del})
        b->setEnabled(true);
    setWindowTitle(QString::asprintf("Edit Satellite Data [%d]", slot + 1));
    elements::KepEditFields f = elements::edit_fields_from_record(db_.slot(slot));
    const std::string* texts[] = {&f.name, &f.catalogue, &f.element_set, &f.epoch, &f.mean_anomaly, &f.mean_motion,
                                  &f.inclination, &f.eccentricity, &f.arg_perigee, &f.raan, &f.decay,
                                  &f.orbit_number, &f.blon, &f.blat, &f.beacon, &f.schedule};
    for (int i = 0; i < 16; ++i)
        fields[std::size_t(i)]->setText(q(*texts[i]));
}

bool KepEditDialog::store()
{
    if (finding_) {
        std::string wanted = s(fields[0]->text());
        int found = wanted.empty() ? -1 : db_.find_by_name(wanted);
        if (found < 0) {
            show_message(this, "Unable to find a satellite with this name", "Edit Satellite Data");
            show_slot(before_find_);
        } else {
            show_slot(found);
        }
        return false;
    }
    elements::KepEditFields f;
    std::string* texts[] = {&f.name, &f.catalogue, &f.element_set, &f.epoch, &f.mean_anomaly, &f.mean_motion,
                            &f.inclination, &f.eccentricity, &f.arg_perigee, &f.raan, &f.decay,
                            &f.orbit_number, &f.blon, &f.blat, &f.beacon, &f.schedule};
    for (int i = 0; i < 16; ++i)
        *texts[i] = s(fields[std::size_t(i)]->text());
    elements::store_edit_fields(f, db_.slot(slot_));
    const elements::KepRecord edited = db_.slot(slot_);
    const int slot = slot_;
    // The slot is written into the file as it is now, so another writer's update of other slots stays.
    auto r = elements::update_database(path_, [&](elements::KepDatabase& on_disk) {
        on_disk.slot(slot) = edited;
        return true;
    });
    if (!r) {
        show_message(this, q(r.error().message), "Helmo Error");
        return false;
    }
    if (reloaded_)
        reloaded_();
    return true;
}

void KepEditDialog::delete_slot()
{
    db_.clear_slot(slot_);
    show_slot(slot_);
}

void KepEditDialog::find_mode()
{
    before_find_ = slot_;
    finding_ = true;
    for (std::size_t i = 1; i < fields.size(); ++i)
        fields[i]->setEnabled(false);
    for (QPushButton* b : {next, prev, find, del})
        b->setEnabled(false);
    fields[0]->setFocus();
}

// ---- Edit Observer Database ----

ObserverDialog::ObserverDialog(std::filesystem::path file, QWidget* parent) : QDialog(parent), file_(std::move(file))
{
    setWindowTitle("Edit Observer Database");
    auto* layout = new QHBoxLayout(this);
    list = new QListWidget(this);
    layout->addWidget(list);
    auto* form = new QFormLayout;
    name = new QLineEdit(this);
    name->setMaxLength(19);
    latitude = new QLineEdit(this);
    longitude = new QLineEdit(this);
    elevation = new QLineEdit(this);
    for (QLineEdit* e : {latitude, longitude, elevation})
        e->setMaxLength(7);
    north = new QRadioButton("N", this);
    south = new QRadioButton("S", this);
    east = new QRadioButton("E", this);
    west = new QRadioButton("W", this);
    auto* ns = new QHBoxLayout;
    ns->addWidget(latitude);
    ns->addWidget(north);
    ns->addWidget(south);
    auto* ew = new QHBoxLayout;
    ew->addWidget(longitude);
    ew->addWidget(east);
    ew->addWidget(west);
    // The two pairs are exclusive within themselves only.
    auto* g1 = new QButtonGroup(this);
    g1->addButton(north);
    g1->addButton(south);
    auto* g2 = new QButtonGroup(this);
    g2->addButton(east);
    g2->addButton(west);
    form->addRow("Name", name);
    form->addRow("Latitude", ns);
    form->addRow("Longitude", ew);
    form->addRow("Elevation", elevation);
    auto* row = new QHBoxLayout;
    auto* ok = new QPushButton("OK", this);
    auto* n = new QPushButton("New", this);
    auto* d = new QPushButton("Delete", this);
    auto* c = new QPushButton("Close", this);
    for (QPushButton* b : {ok, n, d, c})
        row->addWidget(b);
    form->addRow(row);
    layout->addLayout(form);
    if (auto all = file_.read_all())
        for (const elements::ObserverRecord& r : *all)
            list->addItem(q(r.name));
    connect(list, &QListWidget::currentTextChanged, this, &ObserverDialog::select);
    connect(ok, &QPushButton::clicked, this, &ObserverDialog::store);
    connect(n, &QPushButton::clicked, this, &ObserverDialog::clear_fields);
    connect(d, &QPushButton::clicked, this, &ObserverDialog::remove);
    connect(c, &QPushButton::clicked, this, &QDialog::accept);
    clear_fields();
}

void ObserverDialog::select(const QString& n)
{
    auto all = file_.read_all();
    if (!all)
        return;
    for (const elements::ObserverRecord& r : *all)
        if (q(r.name) == n) {
            name->setText(n);
            latitude->setText(QString::asprintf("%6.3f", std::fabs(r.latitude)));
            (r.latitude >= 0 ? north : south)->setChecked(true);
            longitude->setText(QString::asprintf("%7.3f", std::fabs(r.longitude)));
            (r.longitude >= 0 ? east : west)->setChecked(true);
            elevation->setText(QString::asprintf("%5.1f", r.altitude));
            return;
        }
}

void ObserverDialog::store()
{
    elements::ObserverRecord r;
    r.name = s(name->text()).substr(0, 19);
    r.latitude = std::fabs(std::atof(s(latitude->text()).substr(0, 7).c_str())) * (south->isChecked() ? -1 : 1);
    r.longitude = std::fabs(std::atof(s(longitude->text()).substr(0, 7).c_str())) * (west->isChecked() ? -1 : 1);
    r.altitude = std::atof(s(elevation->text()).substr(0, 7).c_str());
    auto added = file_.store_observer(r);
    if (!added) {
        show_message(this, q(added.error().message), "Helmo Error");
        return;
    }
    if (*added)
        list->addItem(q(r.name));
    clear_fields();
}

void ObserverDialog::remove()
{
    QListWidgetItem* item = list->currentItem();
    if (!item)
        return;
    auto r = file_.delete_observer(s(item->text()));
    if (!r) {
        show_message(this, q(r.error().message), "Helmo Error");
        return;
    }
    delete list->takeItem(list->row(item));
    clear_fields();
}

void ObserverDialog::clear_fields()
{
    QSignalBlocker block(list);
    for (QLineEdit* e : {name, latitude, longitude, elevation})
        e->clear();
    north->setChecked(true);
    west->setChecked(true);
    list->clearSelection();
    list->setCurrentRow(-1);
    name->setFocus();
}

UpdateKepsDialog::UpdateKepsDialog(const std::vector<std::string>& lines, QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Update Keps");
    auto* layout = new QVBoxLayout(this);
    list = new QListWidget(this);
    for (const std::string& l : lines)
        list->addItem(q(l));
    if (lines.empty())
        list->addItem("No Satellites Found!");
    layout->addWidget(list);
    auto* close = new QPushButton("Close", this);
    layout->addWidget(close);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
}

// ---- Schedule Events ----

EventsDialog::EventsDialog(platform::Store& store, std::vector<std::string> satellites, std::function<void()> changed,
                           QWidget* parent)
    : QDialog(parent), store_(store), changed_(std::move(changed))
{
    setWindowTitle("Schedule Events");
    auto* layout = new QHBoxLayout(this);
    list = new QListWidget(this);
    layout->addWidget(list);
    auto* form = new QFormLayout;
    name = new QLineEdit(this);
    name->setMaxLength(25);
    program = new QLineEdit(this);
    program->setMaxLength(260);
    directory = new QLineEdit(this);
    directory->setMaxLength(260);
    time = new QLineEdit(this);
    time->setMaxLength(6);
    sec = new QRadioButton("Sec", this);
    min = new QRadioButton("Min", this);
    run = new QComboBox(this);
    run->addItems({"Before Pass", "After Pass", "Daily", "Regularly", "Week Days", "Weekend Days", "Helmo Startup",
                   "Helmo Shutdown", "On Idle", "On End Idle"});
    associate = new QComboBox(this);
    associate->addItems({"No Satellite", "Single Satellite", "All Satellites", "Housekeeping"});
    satellite = new QComboBox(this);
    satellite->addItem("[None]");
    for (const std::string& n : satellites)
        satellite->addItem(q(n));
    active = new QCheckBox("Activate", this);
    display = new QCheckBox("Display in schedule", this);
    minimise = new QCheckBox("Run Minimised", this);
    last = new QLabel("n/a", this);
    last_ok = new QLabel("n/a", this);
    last_return = new QLabel("n/a", this);
    auto* prog_row = new QHBoxLayout;
    prog_row->addWidget(program);
    auto* browse = new QPushButton("Browse", this);
    prog_row->addWidget(browse);
    auto* time_row = new QHBoxLayout;
    time_row->addWidget(time);
    time_row->addWidget(sec);
    time_row->addWidget(min);
    form->addRow("Name", name);
    form->addRow("Program", prog_row);
    form->addRow("Starting Dir", directory);
    form->addRow("Time", time_row);
    form->addRow("Run", run);
    form->addRow("Associate", associate);
    form->addRow("Satellite", satellite);
    form->addRow(active);
    form->addRow(display);
    form->addRow(minimise);
    form->addRow("Last:", last);
    form->addRow("Last OK:", last_ok);
    form->addRow("Return", last_return);
    auto* row = new QHBoxLayout;
    auto* ok = new QPushButton("OK", this);
    auto* n = new QPushButton("New", this);
    auto* d = new QPushButton("Delete", this);
    auto* c = new QPushButton("Close", this);
    for (QPushButton* b : {ok, n, d, c})
        row->addWidget(b);
    form->addRow(row);
    layout->addLayout(form);
    connect(list, &QListWidget::currentTextChanged, this, &EventsDialog::select);
    connect(ok, &QPushButton::clicked, this, [this] { this->store(); });
    connect(n, &QPushButton::clicked, this, &EventsDialog::clear_fields);
    connect(d, &QPushButton::clicked, this, &EventsDialog::remove);
    connect(c, &QPushButton::clicked, this, &QDialog::accept);
    connect(browse, &QPushButton::clicked, this, [this] {
        QString f = QFileDialog::getOpenFileName(this, "Program");
        if (!f.isEmpty())
            program->setText(f);
    });
    clear_fields();
    reload_list();
}

void EventsDialog::reload_list()
{
    QSignalBlocker block(list);
    list->clear();
    for (const auto& [key, e] : settings::read_events(store_))
        list->addItem(q(e.name));
}

void EventsDialog::select(const QString& wanted)
{
    for (const auto& [key, e] : settings::read_events(store_)) {
        if (q(e.name) != wanted)
            continue;
        name->setText(q(e.name));
        program->setText(q(e.program));
        directory->setText(q(e.directory));
        bool minutes = false;
        time->setText(q(event_time_text(e.run, e.time, minutes)));
        (minutes ? min : sec)->setChecked(true);
        run->setCurrentIndex(int(e.run));
        associate->setCurrentIndex(int(e.associate));
        int i = satellite->findText(q(e.satellite));
        satellite->setCurrentIndex(i < 0 ? 0 : i);
        active->setChecked(e.active);
        display->setChecked(e.display);
        minimise->setChecked(e.minimise);
        last->setText(q(event_history_text(e.last_run_time)));
        last_ok->setText(q(event_history_text(e.last_success_time)));
        last_return->setText(e.last_run_time ? QString::asprintf("%d", int(e.last_return)) : "n/a");
        return;
    }
}

bool EventsDialog::store()
{
    message.clear();
    message_caption.clear();
    EventForm f;
    f.name = s(name->text());
    f.program = s(program->text());
    f.directory = s(directory->text());
    f.time_text = s(time->text());
    f.minutes = min->isChecked();
    f.run = std::uint32_t(run->currentIndex());
    f.associate = std::uint32_t(associate->currentIndex());
    f.satellite = s(satellite->currentText());
    f.active = active->isChecked();
    f.display = display->isChecked();
    f.minimise = minimise->isChecked();
    EventFormOutcome out = check_event_form(f);
    if (!out.record) {
        message = q(out.error);
        message_caption = "Error";
        show_message(this, message, message_caption);
        return false;
    }
    if (f.name.empty()) {
        message = "An event needs a name.";
        message_caption = "Error";
        show_message(this, message, message_caption);
        return false;
    }
    if (!out.note.empty()) {
        message = q(out.note);
        message_caption = "Helmo";
        show_message(this, message, message_caption);
    }
    // The existing key of that name, else a new key named after it; the history stays.
    std::string key = std::string(settings::keys::helmo_events) + "\\" + out.record->name;
    for (const auto& [k, e] : settings::read_events(store_))
        if (e.name == out.record->name) {
            key = k;
            out.record->last_run_time = e.last_run_time;
            out.record->last_success_time = e.last_success_time;
            out.record->last_return = e.last_return;
        }
    if (Status st = settings::write_event(store_, key, *out.record); !st) {
        message = q(st.error().message);
        message_caption = "Helmo Error";
        show_message(this, message, message_caption);
        return false;
    }
    reload_list();
    if (changed_)
        changed_();
    return true;
}

void EventsDialog::remove()
{
    QListWidgetItem* item = list->currentItem();
    if (!item)
        return;
    for (const auto& [k, e] : settings::read_events(store_))
        if (q(e.name) == item->text()) {
            (void)store_.delete_key(k);
            break;
        }
    reload_list();
    clear_fields();
    if (changed_)
        changed_();
}

void EventsDialog::clear_fields()
{
    for (QLineEdit* e : {name, program, directory, time})
        e->clear();
    sec->setChecked(true);
    run->setCurrentIndex(0);
    associate->setCurrentIndex(0);
    satellite->setCurrentIndex(0);
    active->setChecked(true);
    display->setChecked(false);
    minimise->setChecked(true);
    for (QLabel* l : {last, last_ok, last_return})
        l->setText("n/a");
}

RotatorDialog::RotatorDialog(const std::vector<std::string>& names, QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Enable Rotator");
    auto* layout = new QVBoxLayout(this);
    list = new QListWidget(this);
    list->addItem("[STOP]");
    for (std::size_t i = 0; i < names.size() && i < 50; ++i)
        list->addItem(q(names[i]));
    list->setCurrentRow(0);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(list, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

std::string RotatorDialog::chosen() const
{
    if (!list->currentItem() || list->currentRow() == 0)
        return "";
    return s(list->currentItem()->text());
}

} // namespace orva::station
