// Helmo's main window: the commands of its menu, and the dialogs, choosers and printing they run.
#include "station/app/window/main_window.h"

#include "platform/shared_clock.h"
#include "platform/user_guide.h"
#include "platform/version.h"
#include "platform/http/http_get.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QTextDocument>

#include "common/element_import/import_file.h"
#include "common/settings/keys.h"
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "elemupd/network/network_update.h"
#include "station/app/window/dialogs.h"

namespace orva::station {

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }

std::filesystem::path program_dir()
{
    return std::filesystem::path(QCoreApplication::applicationDirPath().toStdString());
}

// The satellites of the element database, in slot order.
std::vector<std::string> database_names(StationHost& host)
{
    std::vector<std::string> names;
    if (auto db = host.load_database())
        for (int i = 0; i < elements::kKepSlots; ++i)
            if (!db->slot(i).name.empty())
                names.push_back(db->slot(i).name);
    return names;
}
} // namespace

void MainWindow::track_dialog()
{
    TrackDialog d(database_names(*host_), host_->tracking_names(), this);
    if (d.exec() != QDialog::Accepted)
        return;
    if (Status s = host_->set_tracking(d.chosen()); !s)
        show_message(this, q(s.error().message), "Helmo Error");
    refresh(host_->now());
}

void MainWindow::toggle_scheduling()
{
    bool on = !host_->scheduling();
    host_->set_scheduling(on);
    if (QAction* a = action(132))
        a->setChecked(on);
    if (!on)
        show_status(QString());
}

void MainWindow::run_pass()
{
    std::int64_t t = host_->now();
    std::vector<PassEntry> list = host_->core().schedule_snapshot();
    if (!list.empty() && list.front().priority == 0 && list.front().dont_run == 0 && list.front().los > t) {
        show_message(this, kManualPassRefused, "Helmo");
        return;
    }
    ChooseDialog d("Run Pass", settings::list_satellites(host_->store()), this);
    if (d.exec() != QDialog::Accepted || d.chosen().empty())
        return;
    if (Status s = host_->manual_pass(d.chosen()); !s)
        show_message(this, q(s.error().message), "Helmo");
}

int MainWindow::run_dialog(QDialog& dialog)
{
    if (dialog_driver_) {
        dialog_driver_(dialog);
        return dialog.result();
    }
    return dialog.exec();
}

void MainWindow::add_pass()
{
    ChooseDialog d("Add Pass", settings::list_satellites(host_->store()), this);
    if (run_dialog(d) != QDialog::Accepted || d.chosen().empty())
        return;
    add_pass_of(d.chosen());
}

void MainWindow::add_pass_of(const std::string& name)
{
    // A new pass starts as a window of 15 minutes from the next whole minute after five from now,
    // at its satellite's priority; the operator sets the times in the dialog. Nothing is stored
    // unless OK takes it.
    std::int64_t t = host_->now();
    PassEntry e;
    e.name = name;
    e.aos = e.run_start = (t + 300 + 59) / 60 * 60;
    e.los = e.run_end = e.aos + 900;
    e.priority = 100;
    {
        std::lock_guard lock(host_->core().schedule_lock());
        if (ScheduledSatellite* s = host_->core().schedule().find_satellite(name))
            e.priority = s->priority;
    }
    EditScheduleDialog d(e, utc_, offset(),
                         [this, name](const PassEdit& edit) { return host_->core().add_pass(name, edit, host_->now()); },
                         {}, this);
    d.setWindowTitle(q("Add pass of " + name));
    run_dialog(d);
    refresh(host_->now());
}

void MainWindow::edit_scheduling(int row)
{
    if (row < 0 || row >= int(rows_.size()) || rows_[std::size_t(row)].name.empty())
        return;
    const std::string name = rows_[std::size_t(row)].name;
    const std::int64_t aos = rows_[std::size_t(row)].aos;
    std::optional<PassEntry> entry;
    for (const PassEntry& e : host_->core().schedule_snapshot())
        if (e.name == name && e.aos == aos)
            entry = e;
    if (!entry)
        return; // the row was drawn before its entry left
    EditScheduleDialog d(
        *entry, utc_, offset(),
        [this, name, aos](const PassEdit& edit) { return host_->core().edit_pass(name, aos, edit, host_->now()); },
        [this, name, aos] { return host_->core().delete_pass(name, aos, host_->now()); }, this);
    run_dialog(d);
    refresh(host_->now());
}

QStringList MainWindow::printed_schedule_lines() const
{
    QStringList out;
    out << "Helmo - Schedule" << QString();
    std::vector<PassEntry> entries = host_->core().schedule_snapshot();
    std::int64_t now = host_->now();
    std::int64_t last_day = -1;
    for (PassEntry e : entries) {
        if (e.los < now)
            continue;
        std::int64_t t = utc_ ? e.aos : e.aos - offset();
        std::int64_t day = t >= 0 ? t / 86400 : (t - 86399) / 86400;
        if (last_day >= 0 && day != last_day)
            out << QString();
        last_day = day;
        if (e.priority >= 100)
            e.dont_run = 1; // the printed list leaves the priority blank from 100 on
        std::vector<ScheduleRow> r = schedule_rows({e}, now, utc_, offset());
        if (!r.empty())
            out << q(r.front().text);
    }
    return out;
}

void MainWindow::print_schedule_to(QPrinter& printer) const
{
    QTextDocument doc;
    QFont f = font_;
    doc.setDefaultFont(f);
    doc.setPlainText(printed_schedule_lines().join('\n'));
    doc.print(&printer);
}

void MainWindow::print_schedule()
{
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle("Print Schedule");
    if (dialog.exec() != QDialog::Accepted)
        return;
    print_schedule_to(printer);
}

void MainWindow::select_font()
{
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, font_, this, "Select Font", QFontDialog::MonospacedFonts);
    if (ok)
        store_font(chosen);
}

void MainWindow::store_font(const QFont& chosen)
{
    platform::Store& st = host_->store();
    (void)st.write_integer(settings::keys::helmo, "Font Size", std::uint32_t(std::max(chosen.pointSize(), 1)));
    (void)st.write_integer(settings::keys::helmo, "Font Type", std::uint32_t(chosen.weight()));
    (void)st.write_string(settings::keys::helmo, "Font Name", chosen.family().toStdString().substr(0, 31));
    const std::uint8_t pitch[1] = {std::uint8_t(QFontInfo(chosen).fixedPitch() ? 1 : 2)};
    (void)st.write_binary(settings::keys::helmo, "Font Pitch", pitch);
    apply_fonts();
}

void MainWindow::enable_rotator()
{
    RotatorDialog d(database_names(*host_), this);
    if (d.exec() != QDialog::Accepted)
        return;
    host_->track_satellite(d.chosen());
}

void MainWindow::edit_satellite_data()
{
    KepEditDialog d(elements::kep_database_path(host_->suite_dir()), [this] { host_->reload_elements(); }, this);
    d.exec();
}

map::MapWindow& MainWindow::open_map_window()
{
    const bool created = !map_;
    map::MapWindow::Options o;
    o.edit_elements = [this](const std::string& name) {
        KepEditDialog d(elements::kep_database_path(host_->suite_dir()), [this] { host_->reload_elements(); }, this);
        if (auto db = host_->load_database(); db && db->find_by_name(name) >= 0)
            d.show_slot(db->find_by_name(name));
        d.exec();
    };
    o.track_with_rotator = [this](const std::string& name, bool) { host_->track_satellite(name); };
    map::MapWindow& w = map::open_map(map_, host_->store(), platform::station_clock(), std::move(o));
    if (created && host_->messenger())
        (void)w.register_window(*host_->messenger());
    return w;
}

void MainWindow::display_on_map(const std::string& name)
{
    // The pass may begin on the loop's thread or another: the window is touched on its own.
    QMetaObject::invokeMethod(this, [this, name] { open_map_window().show_on_map(name); }, Qt::QueuedConnection);
}

void MainWindow::elements_reloaded()
{
    QMetaObject::invokeMethod(this, [this] {
        if (map_)
            map_->reload_elements();
    }, Qt::QueuedConnection);
}

void MainWindow::station_moved(const elements::ObserverSite& home)
{
    if (map_)
        map_->set_home(home);
}

void MainWindow::select_map_font()
{
    if (map_) {
        map_->choose_font();
        return;
    }
    settings::HelmoSettings h = settings::read_helmo(host_->store());
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, map::stored_map_font(h), this, "Select Map Font", QFontDialog::MonospacedFonts);
    if (ok)
        if (Status s = map::store_map_font(host_->store(), h, f); !s)
            show_message(this, q(s.error().message), "Helmo Error");
}

void MainWindow::edit_observers()
{
    ObserverDialog d(elements::observer_file_path(host_->suite_dir()), this);
    d.exec();
}

void MainWindow::update_database()
{
    settings::HelmoSettings h = settings::read_helmo(host_->store());
    QString nasa = "NASA Keplerian elements (*.*)", amsat = "AMSAT Keplerian elements (*.*)";
    QString filter = h.keps_type == 2 ? amsat : nasa;
    QString dir = q(h.keps_dir.empty() ? host_->suite_dir().string() : h.keps_dir);
    QString file = QFileDialog::getOpenFileName(this, "Update Keplerian Database", dir, nasa + ";;" + amsat, &filter);
    if (file.isEmpty())
        return;
    std::optional<std::vector<std::string>> lines = import_elements(file.toStdString(), filter == amsat);
    if (!lines)
        return;
    UpdateKepsDialog d(*lines, this);
    d.exec();
}

namespace {
// Helmo reloads its own database when the update is done; nobody else needs telling.
class OwnReload final : public elemupd::ReloadNotice {
public:
    Status post_reload() override { return {}; }
};
} // namespace

void MainWindow::update_database_from_network()
{
    if (network_busy_) {
        show_status("The network update is still running");
        return;
    }
    network_busy_ = true;
    show_status("Fetching element sets from the network");
    QApplication::setOverrideCursor(Qt::BusyCursor);
    const std::filesystem::path store_file = host_->store().file();
    network_update_.start([this, store_file](std::stop_token stop) {
        std::vector<std::string> lines;
        bool changed = false;
        // The worker's own handle on the store: the window's belongs to the window thread.
        auto store = platform::Store::open(store_file, platform::Access::ReadWrite);
        if (!store) {
            lines.push_back("Cannot open the store: " + store.error().message);
        } else {
            OwnReload notice;
            elemupd::NetworkUpdateOptions options;
            options.progress = [stop](const std::string&, std::uint64_t, std::uint64_t) {
                return !stop.stop_requested();
            };
            elemupd::NetworkUpdate run = elemupd::update_from_network(*store, platform::http_get, options, notice);
            lines = run.lines(true);
            changed = run.changed;
        }
        if (stop.stop_requested())
            return;
        QMetaObject::invokeMethod(this, [this, lines, changed] {
            network_update_.stop();
            network_busy_ = false;
            QApplication::restoreOverrideCursor();
            if (changed)
                host_->reload_elements();
            UpdateKepsDialog d(lines, this);
            run_dialog(d);
        }, Qt::QueuedConnection);
    });
}

std::optional<std::vector<std::string>> MainWindow::import_elements(const std::filesystem::path& file, bool amsat)
{
    platform::Store& st = host_->store();
    (void)st.write_integer(settings::keys::helmo, "Keps Type", amsat ? 2 : 1);
    (void)st.write_string(settings::keys::helmo, "Keps Dir", file.parent_path().string());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto r = import_elements_file(elements::kep_database_path(host_->suite_dir()), file,
                                  amsat ? ElementFormat::Amsat : ElementFormat::Nasa);
    QApplication::restoreOverrideCursor();
    if (!r) {
        show_message(this, q(r.error().message), "Helmo Error");
        return std::nullopt;
    }
    host_->reload_elements();
    return result_lines(*r);
}

void MainWindow::schedule_events()
{
    EventsDialog d(host_->store(), settings::list_satellites(host_->store()), [this] { host_->reload_events(); }, this);
    d.exec();
}

void MainWindow::start_program(std::vector<std::string> words, const std::filesystem::path& dir)
{
    std::string shown = words.front();
    if (Status s = host_->start_command(std::move(words), dir); !s)
        show_status(q("Cannot start " + shown + ": " + s.error().message));
}

void MainWindow::help(const std::string& section)
{
    Status s = guide_opener_ ? guide_opener_(section) : platform::open_user_guide(section);
    if (!s)
        show_status(q(s.error().message));
}

void MainWindow::about()
{
    QString text = QString("Helmo, the station control of the Orva suite, version %1.\n\nPrograms found beside Helmo:\n")
                       .arg(QString::fromStdString(suite_version_text()));
    for (const char* p : {"helmo", "brek", "tessel", "dispo", "elemix", "pixora", "orva"}) {
        std::filesystem::path exe = program_dir() / p;
        if (std::filesystem::exists(exe))
            text += QString("  %1 %2\n").arg(p, QString::fromStdString(suite_version_text()));
    }
    show_message(this, text, "About Helmo");
}

} // namespace orva::station
