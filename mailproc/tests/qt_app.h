// The one QApplication of the app tests, made on first use on the test's main thread.
#pragma once

#include <QApplication>
#include <QElapsedTimer>

#include <functional>

namespace orva::mailproc::test {

inline QApplication& test_app()
{
    static int argc = 1;
    static char name[] = "mailproc_app_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// Runs the event loop until `done` holds, or the safety net of `ms` has passed.
inline bool pump_until(const std::function<bool()>& done, int ms = 20000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    return done();
}

} // namespace orva::mailproc::test
