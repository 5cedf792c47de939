// Elemix: "elemix F~file K~NASA|AMSAT". Merges the file into the element database, tells the
// station program, and shows its one message in a box, or on stderr when there is no display.
#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "elemupd/elemix.h"
#include "elemupd/station_notice.h"
#include "platform/options/program_options.h"

#if ORVA_HAVE_MESSENGER
#include "platform/dbus/session_bus.h"
#endif

namespace {

bool has_display(const std::vector<std::string>& qt_args)
{
    for (std::size_t i = 0; i + 1 < qt_args.size(); ++i)
        if (qt_args[i] == "-platform")
            return qt_args[i + 1] != "offscreen" && qt_args[i + 1] != "minimal";
    if (const char* p = std::getenv("QT_QPA_PLATFORM"); p && (std::strncmp(p, "offscreen", 9) == 0 || std::strncmp(p, "minimal", 7) == 0))
        return false;
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

} // namespace

int main(int argc, char** argv)
{
    // Qt's own "-platform NAME" is not a tilde argument; everything else is.
    std::vector<std::string> args, qt_args;
    orva::platform::ProgramOptions cli("elemix", "Merges an element-set text file into the element database "
                                                 "and tells the station program.");
    cli.positionals("F~FILE K~NASA|AMSAT", args,
                    "Tilde arguments: the element file, and its format (N: two-line, A: AMSAT verbose)")
        .qt_platform(qt_args);
    if (auto code = cli.parse(argc, argv))
        return *code;

    auto store = orva::platform::Store::open_default(orva::platform::Access::ReadOnly);
    if (!store)
        return 0; // no store: the suite is not set up, so there is nothing to update

    // The bus needs an application object; a widget one only where a box can be shown.
    bool display = has_display(qt_args);
    int qt_argc = 1;
    char* qt_argv[] = {argv[0], nullptr};
    std::unique_ptr<QCoreApplication> app;
    if (display)
        app = std::make_unique<QApplication>(qt_argc, qt_argv);
    else
        app = std::make_unique<QCoreApplication>(qt_argc, qt_argv);

#if ORVA_HAVE_MESSENGER
    std::unique_ptr<orva::platform::Messenger> messenger = orva::platform::dbus::session_messenger();
    orva::elemupd::StationNotice notice(messenger.get());
#else
    orva::elemupd::StationNotice notice;
#endif
    orva::elemupd::ElemixRun run = orva::elemupd::run_elemix(*store, args, notice);
    for (const auto& line : run.lines)
        std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    if (run.changed && !run.notified)
        std::fprintf(stderr, "Elemix: the station program was not told (%s)\n", notice.last_error().c_str());

    if (run.message) {
        if (display) {
            if (run.message->warning)
                QMessageBox::warning(nullptr, "Elemix", QString::fromStdString(run.message->text));
            else
                QMessageBox::information(nullptr, "Elemix", QString::fromStdString(run.message->text));
        } else {
            std::fprintf(stderr, "Elemix: %s\n", run.message->text.c_str());
        }
    }
    return run.exit_code;
}
