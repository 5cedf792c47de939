#include "station/app/setup/setup_menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>

#include <filesystem>

#include "common/settings/suite_settings.h"
#include "platform/dbus/session_bus.h"
#include "station/app/setup/about_dialog.h"
#include "station/app/setup/housekeeping_dialog.h"
#include "station/app/setup/option_dialog.h"
#include "station/app/setup/programs_dialog.h"
#include "station/app/setup/satellites_dialog.h"
#include "station/app/setup/station_sheet.h"
#include "station/app/setup/viewer_dialogs.h"
#include "station/app/station_host.h"
#include "station/app/window/main_window.h"
#include "station/setup/programs_setup.h"

namespace orva::station::app {

namespace {

template <class Dialog, class... Args>
void run_dialog(Args&&... args)
{
    Dialog d(std::forward<Args>(args)...);
    d.exec();
}

QMenu* programs_menu(MainWindow& window)
{
    // The menu the fixed "Quillet" entry (135) sits in.
    if (QAction* a = window.action(135))
        for (QObject* o : a->associatedObjects())
            if (auto* m = qobject_cast<QMenu*>(o))
                return m;
    return nullptr;
}

} // namespace

void rebuild_programs_menu(MainWindow& window, StationHost& host)
{
    QMenu* menu = programs_menu(window);
    if (!menu)
        return;
    for (QAction* a : menu->actions()) {
        int id = a->data().toInt();
        if (id >= 501 && id <= 600) {
            menu->removeAction(a);
            a->deleteLater();
        }
    }
    int id = static_cast<int>(setup::kFirstProgramCommand);
    for (const auto& [path, p] : setup::program_entries(host.store())) {
        QAction* a = menu->addAction(QString::fromStdString(p.name));
        a->setData(id++);
        QObject::connect(a, &QAction::triggered, &window, [&window, &host, title = p.name] {
            auto started = run_program(host.store(), host.launcher(), title);
            if (!started)
                show_message(&window, "Helmo", QString::fromStdString(started.error().message));
        });
    }
}

void wire_setup_menu(MainWindow& window, StationHost& host)
{
    platform::Store& store = host.store();
    QWidget* parent = &window;
    auto now = [&host] { return host.now(); };
    auto refresh = [&window, &host] { window.refresh(host.now()); };
    // A satellite saved: the schedule takes its new values at once.
    SatelliteSaved satellite_saved = [&host](const settings::SatelliteRecord& r) { host.satellite_saved(r); };

    window.set_command(101, [&store, parent, &host] {
        run_dialog<StationSheet>(store, [&host] { host.sync_with_store(); }, parent);
    });
    window.set_command(109, [&store, parent, &host, satellite_saved] {
        SatellitesDialog d(store, satellite_saved, parent);
        d.set_deleted_hook([&host](const std::string&) { host.sync_with_store(); });
        d.exec();
    });
    window.set_command(110, [&store, parent, refresh] {
        run_dialog<OptionDialog>(store, setup::general_setup_form(), refresh, parent);
    });
    window.set_command(116, [&store, parent] { run_dialog<OptionDialog>(store, setup::brek_setup_form(), nullptr, parent); });
    window.set_command(118, [&store, parent] { run_dialog<OptionDialog>(store, setup::tessel_setup_form(), nullptr, parent); });
    window.set_command(119, [&store, parent] { run_dialog<OptionDialog>(store, setup::quillet_setup_form(), nullptr, parent); });
    window.set_command(120, [&store, parent] {
        std::unique_ptr<OptionDialog> d(make_dispo_setup(store, parent));
        d->exec();
    });
    window.set_command(127, [&store, parent] { run_dialog<OptionDialog>(store, setup::sounds_setup_form(), nullptr, parent); });
    window.set_command(148, [&window, &host, &store, parent] {
        run_dialog<ProgramsDialog>(store, parent);
        rebuild_programs_menu(window, host);
    });
    window.set_command(114, [&store, parent, now] { run_dialog<HousekeepingDialog>(store, now, parent); });
    window.set_command(149, [&store, parent, now] {
        auto messenger = platform::dbus::session_messenger();
        run_dialog<EditDirectoryDialog>(store, messenger.get(), now, parent);
    });
    window.set_command(137, [&store, parent] {
        DispoErrorsDialog d(store, parent);
        if (d.load())
            d.exec();
    });
    window.set_command(140, [&store, parent] { run_dialog<BrekLogsDialog>(store, parent); });
    window.set_command(145, [&store, parent] { run_dialog<UploadFilesDialog>(store, parent); });
    window.set_command(141, [&store, &host, parent] {
        std::string suite = settings::read_general(store, settings::Program::Helmo).orva_directory;
        run_dialog<RunDispoDialog>(
            store,
            [&host, suite](const std::string& command) -> Status {
                platform::LaunchOptions options;
                options.working_directory = suite;
                auto p = host.launcher().start(command, options);
                if (!p)
                    return p.error();
                return {};
            },
            parent);
    });
    window.set_command(999, [parent] {
        run_dialog<AboutDialog>(std::filesystem::path(QCoreApplication::applicationDirPath().toStdString()), parent);
    });
    rebuild_programs_menu(window, host);
}

} // namespace orva::station::app
