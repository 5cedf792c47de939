#include "engine/window/run_brek_window.h"

#include "engine/session/brek_session.h"
#include "engine/window/brek_window.h"

#include <QApplication>

namespace orva::engine {

int run_brek_window(BrekSession& session, platform::Store* store, const std::string& satellite)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return 2;
    BrekWindow window(session, store);
    QObject::connect(&window, &QObject::destroyed, qApp, &QCoreApplication::quit);
    window.show_placed();
    session.start(satellite);
    if (session.finished())
        return 0;
    struct Quit final : SessionObserver {
        void on_finished() override { QCoreApplication::quit(); }
    } quit;
    session.add_observer(&quit);
    const int rc = QApplication::exec();
    session.remove_observer(&quit);
    return rc;
}

} // namespace orva::engine
