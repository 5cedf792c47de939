// Lectel: "lectel FILE" shows a received message: a read-only text window, or $PAGER (else the
// terminal itself) when there is no display.
#include <QApplication>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPlainTextEdit>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "platform/command_line.h"
#include "platform/launcher.h"
#include "platform/options/program_options.h"

namespace {

bool has_display()
{
    if (const char* p = std::getenv("QT_QPA_PLATFORM");
        p && (std::strncmp(p, "offscreen", 9) == 0 || std::strncmp(p, "minimal", 7) == 0))
        return false;
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

int show_in_terminal(const std::string& file, const std::vector<std::uint8_t>& bytes)
{
    if (const char* pager = std::getenv("PAGER"); pager && *pager) {
        auto words = orva::platform::split_command_line(pager);
        if (words) {
            words->push_back(file);
            orva::platform::Launcher launcher;
            auto p = launcher.start(std::move(*words));
            if (p) {
                auto code = p->wait();
                return code ? *code : 1;
            }
            std::fprintf(stderr, "Lectel: %s\n", p.error().message.c_str());
        }
    }
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string file;
    orva::platform::ProgramOptions cli("lectel", "Shows a received message: a read-only window, or $PAGER (else the "
                                                 "terminal) without a display.");
    cli.positional("FILE", file, "The message file");
    if (auto code = cli.parse(argc, argv))
        return *code;
    const bool window = has_display();
    auto bytes = orva::read_file(file);
    if (!window) {
        if (!bytes) {
            std::fprintf(stderr, "Lectel: %s\n", bytes.error().message.c_str());
            return 1;
        }
        return show_in_terminal(file, *bytes);
    }
    int qt_argc = 1;
    char* qt_argv[] = {argv[0], nullptr};
    QApplication app(qt_argc, qt_argv);
    if (!bytes) {
        QMessageBox::warning(nullptr, "Lectel", QString::fromStdString(bytes.error().message));
        return 1;
    }
    // Messages from the air are bytes, not UTF-8: every byte shows as a character.
    QString text = QString::fromLatin1(reinterpret_cast<const char*>(bytes->data()), static_cast<qsizetype>(bytes->size()));
    text.remove(QChar('\r'));
    QPlainTextEdit view;
    view.setReadOnly(true);
    view.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view.setPlainText(text);
    view.setWindowTitle("Lectel - " + QString::fromStdString(file));
    view.resize(640, 480);
    view.show();
    return app.exec();
}
