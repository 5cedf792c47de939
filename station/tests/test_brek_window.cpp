// Stand-in engine for the pass tests: owns the window "Brek:MAIN" "Brek [<satellite>]" on the
// session bus, appends every message it gets to $ORVA_TEST_BREK_OUT ("number word long"), and
// ends when asked to close (message 16).
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

#include "platform/dbus/session_bus.h"

using namespace orva::platform;

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const char* out = std::getenv("ORVA_TEST_BREK_OUT");
    auto messenger = dbus::session_messenger();
    WindowHandlers handlers;
    handlers.on_message = [&](const WindowMessage& m) -> std::int32_t {
        if (out) {
            if (std::FILE* f = std::fopen(out, "a")) {
                std::fprintf(f, "%u %u %d\n", m.number, m.word, m.long_param);
                std::fclose(f);
            }
        }
        if (m.number == 16)
            app.quit();
        return 0;
    };
    auto window = messenger->create_window("Brek:MAIN", std::string("Brek [") + argv[1] + "]", handlers, true);
    if (!window)
        return 3;
    return app.exec();
}
