// The operating dialogs of the main window. Each works on the host's store and files and can be
// driven by a test through its public fields and slots.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/elements/kep_database.h"
#include "common/elements/observer_file.h"
#include "platform/store/store.h"
#include "station/app/window/view_texts.h"
#include "station/core/station_core.h"
#include "station/schedule/pass_entry.h"

namespace orva::station {

// Every message box of the window goes through here; tests catch them instead of a modal box.
using MessageSink = std::function<void(const QString& text, const QString& caption)>;
void set_message_sink(MessageSink sink);
void show_message(QWidget* parent, const QString& text, const QString& caption);

// A list of names; OK or a double click chooses one (Run Pass, Add Pass).
class ChooseDialog final : public QDialog {
    Q_OBJECT
public:
    ChooseDialog(const QString& title, const std::vector<std::string>& names, QWidget* parent = nullptr);
    QListWidget* list;
    std::string chosen() const;
};

// Track: all database satellites on one side, the tracked ones on the other.
class TrackDialog final : public QDialog {
    Q_OBJECT
public:
    TrackDialog(const std::vector<std::string>& all, const std::vector<std::string>& tracked, QWidget* parent = nullptr);
    QListWidget *available, *tracked;
    void add();
    void remove();
    void clear();
    std::vector<std::string> chosen() const;
};

// The pre-pass notice: modeless; the entry is found again by its name and AOS.
class PrePassNotice final : public QDialog {
    Q_OBJECT
public:
    PrePassNotice(const PassEntry& entry, QWidget* parent = nullptr);
    std::string name;
    std::int64_t aos;
    QPushButton *ok, *run, *cancel;
};

// Edit Schedule ("Edit pass of %s"): the AOS and LOS fields, priority, status and the two check
// boxes. OK hands the edit to `store` and Delete calls `remove`; a refusal is shown and the dialog
// stays. Without `remove` (a pass being added) there is no Delete.
class EditScheduleDialog final : public QDialog {
    Q_OBJECT
public:
    EditScheduleDialog(const PassEntry& entry, bool utc, std::int64_t local_offset,
                       std::function<Status(const PassEdit&)> store, std::function<Status()> remove,
                       QWidget* parent = nullptr);
    std::array<QLineEdit*, 6> aos_fields{}, los_fields{}; // hour, minute, second, day, month, year
    QLineEdit* priority;
    QComboBox* status; // 0: the pass runs; 1: it does not
    QCheckBox *run_regardless, *ignore_checking;
    QLabel* visible;
    QPushButton *ok, *del, *cancel;
    bool press_ok();     // true when stored (the dialog is accepted)
    bool press_delete(); // true when done

private:
    bool utc_;
    std::int64_t offset_;
    std::function<Status(const PassEdit&)> store_;
    std::function<Status()> remove_;
};

// Edit Satellite Data over the database file.
class KepEditDialog final : public QDialog {
    Q_OBJECT
public:
    KepEditDialog(std::filesystem::path database, std::function<void()> reloaded, QWidget* parent = nullptr);
    void show_slot(int slot);
    bool store(); // OK: the fields into the slot, the file saved, the station reloaded
    void delete_slot();
    void find_mode();
    int slot() const { return slot_; }
    std::vector<QLineEdit*> fields; // name, catalogue, element set, epoch, MA, MM, incl, ecc, argp, raan, decay, orbit, blon, blat, beacon, schedule
    QPushButton *ok, *next, *prev, *del, *find, *close;

private:
    std::filesystem::path path_;
    std::function<void()> reloaded_;
    elements::KepDatabase db_;
    int slot_ = 0, before_find_ = 0;
    bool finding_ = false;
};

// Edit Observer Database over "ORVA.OBS".
class ObserverDialog final : public QDialog {
    Q_OBJECT
public:
    ObserverDialog(std::filesystem::path file, QWidget* parent = nullptr);
    QListWidget* list;
    QLineEdit *name, *latitude, *longitude, *elevation;
    QRadioButton *north, *south, *east, *west;
    void select(const QString& name);
    void store();
    void remove();
    void clear_fields();

private:
    elements::ObserverFile file_;
};

// Update Satellite Database's result list.
class UpdateKepsDialog final : public QDialog {
    Q_OBJECT
public:
    UpdateKepsDialog(const std::vector<std::string>& lines, QWidget* parent = nullptr);
    QListWidget* list;
};

// Schedule Events over the store's event keys.
class EventsDialog final : public QDialog {
    Q_OBJECT
public:
    EventsDialog(platform::Store& store, std::vector<std::string> satellites, std::function<void()> changed,
                 QWidget* parent = nullptr);
    QListWidget* list;
    QLineEdit *name, *program, *directory, *time;
    QRadioButton *sec, *min;
    QComboBox *run, *associate, *satellite;
    QCheckBox *active, *display, *minimise;
    QLabel *last, *last_ok, *last_return;
    void select(const QString& name);
    // OK: true when stored; the refusal or note goes to `message` (tests read it).
    bool store();
    void remove();
    void clear_fields();
    QString message, message_caption;

private:
    void reload_list();
    platform::Store& store_;
    std::function<void()> changed_;
};

// Enable Rotator: "[STOP]" then the satellites.
class RotatorDialog final : public QDialog {
    Q_OBJECT
public:
    RotatorDialog(const std::vector<std::string>& names, QWidget* parent = nullptr);
    QListWidget* list;
    std::string chosen() const; // "" for [STOP]
};

} // namespace orva::station
