// Dispo: "dispo S~SAT F~*.DL". Files the satellite's completed downloads; a small window shows
// the status line, or the terminal does when there is no display.
#include <QApplication>
#include <QCoreApplication>
#include <QMetaObject>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "mailproc/app/dispo_window.h"
#include "mailproc/command_line.h"
#include "platform/options/program_options.h"

namespace {

bool has_display(const std::vector<std::string>& qt_args)
{
    for (std::size_t i = 0; i + 1 < qt_args.size(); ++i)
        if (qt_args[i] == "-platform")
            return qt_args[i + 1] != "offscreen" && qt_args[i + 1] != "minimal";
    if (const char* p = std::getenv("QT_QPA_PLATFORM");
        p && (std::strncmp(p, "offscreen", 9) == 0 || std::strncmp(p, "minimal", 7) == 0))
        return false;
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace orva::mailproc;
    std::vector<std::string> qt_args, words;
    orva::platform::ProgramOptions cli("dispo", "Checks, unpacks and files a satellite's completed downloads.");
    cli.positionals("S~SATELLITE F~FILE", words,
                    "Tilde arguments: the satellite's \"Name\" and a download file or wildcard (F~*.DL)")
        .qt_platform(qt_args);
    if (auto code = cli.parse(argc, argv))
        return *code;
    std::string text;
    for (const auto& w : words) {
        if (!text.empty())
            text += ' ';
        text += w;
    }
    const bool window = has_display(qt_args);
    auto fail = [&](const std::string& message, const std::string& caption) {
        if (window) {
            int qt_argc = 1;
            char* qt_argv[] = {argv[0], nullptr};
            QApplication app(qt_argc, qt_argv);
            QMessageBox::critical(nullptr, QString::fromStdString(caption), QString::fromStdString(message));
        } else {
            std::fprintf(stderr, "%s: %s\n", caption.c_str(), message.c_str());
        }
        return 1;
    };

    auto store = orva::platform::Store::open_default(orva::platform::Access::ReadOnly);
    if (!store)
        return fail("Error finding registry information.", "Dispo");
    Startup startup = prepare_run(*store, parse_dispo_command(text));
    if (!startup.config)
        return fail(startup.message, startup.caption);

    if (!window) {
        // No window, but the event loop that carries the notices to the other programs.
        int qt_argc = 1;
        char* qt_argv[] = {argv[0], nullptr};
        QCoreApplication app(qt_argc, qt_argv);
        std::mutex out;
        DispoWorker worker(
            std::move(*startup.config),
            [&](const std::string& line) {
                std::lock_guard lock(out);
                std::printf("%s\n", line.c_str());
                std::fflush(stdout);
            },
            [&app] { QMetaObject::invokeMethod(&app, [&app] { app.quit(); }, Qt::QueuedConnection); },
            [] { std::fputc('\a', stderr); });
        worker.start();
        app.exec();
        worker.wait();
        QCoreApplication::processEvents(); // the last notices
        return 0;
    }
    int qt_argc = 1;
    char* qt_argv[] = {argv[0], nullptr};
    QApplication app(qt_argc, qt_argv);
    DispoWindow w(std::move(*startup.config));
    w.show();
    return app.exec();
}
