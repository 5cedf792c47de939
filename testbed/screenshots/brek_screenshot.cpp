// brek-screenshot SAT --port PTY --out FILE.png [--seconds N] [--pass-seconds N]
// Runs Brek's window over a real session on the given TNC port for N seconds, the way the station
// program would start it (pass end from message 2042), asks for every file the directory shows,
// then saves the window as a picture. Kept so the README's screenshot can be retaken.
#include "common/settings/satellite_record.h"
#include "common/settings/suite_settings.h"
#include "engine/app/brek_host.h"
#include "engine/session/brek_session.h"
#include "engine/window/brek_window.h"
#include "engine/window/pass_boxes.h"
#include "engine/window/status_list_view.h"
#include "platform/store/store.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace {

using namespace orva;

// Asks for each file the directory shows, as an operator would from the Fill box.
struct FillEverything final : engine::SessionObserver {
    engine::BrekSession* session = nullptr;
    std::set<std::uint32_t> asked;
    void on_status_line(const engine::StatusLine& line) override
    {
        const std::uint32_t n = engine::directory_line_file(line);
        if (n && asked.insert(n).second)
            QTimer::singleShot(0, [this, n] { session->fill_file(n, false); });
    }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::string satellite, port, out;
    double seconds = 30, pass_seconds = 600;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (a == "--port") port = next();
        else if (a == "--out") out = next();
        else if (a == "--seconds") seconds = std::atof(next().c_str());
        else if (a == "--pass-seconds") pass_seconds = std::atof(next().c_str());
        else if (satellite.empty() && !a.empty() && a[0] != '-') satellite = a;
        else {
            std::fprintf(stderr, "usage: brek-screenshot SAT --port PTY --out FILE.png [--seconds N] [--pass-seconds N]\n");
            return 2;
        }
    }
    if (satellite.empty() || port.empty() || out.empty()) {
        std::fprintf(stderr, "usage: brek-screenshot SAT --port PTY --out FILE.png [--seconds N] [--pass-seconds N]\n");
        return 2;
    }
    engine::BrekHostOptions options;
    options.port_override = port;
    options.writable_store = true;
    auto made = engine::BrekHost::create(options);
    if (auto* refusal = std::get_if<engine::BrekHost::Refusal>(&made)) {
        std::fprintf(stderr, "brek-screenshot: %s\n", refusal->message.c_str());
        return 1;
    }
    auto host = std::move(std::get<std::unique_ptr<engine::BrekHost>>(made));
    engine::BrekSession& session = host->session();
    FillEverything fill;
    fill.session = &session;
    session.add_observer(&fill);

    host->start_services();
    engine::BrekWindow window(session, &host->local_store());
    window.show_placed();
    window.resize(760, 620);
    session.start(satellite);
    if (!session.pass_open()) {
        std::fprintf(stderr, "brek-screenshot: no pass opened for %s\n", satellite.c_str());
        return 1;
    }
    // What the station program sends at the start of a pass.
    const auto start_s = std::int64_t(host->now_ms() / 1000);
    session.on_window_message({engine::kMsgPassEnd, 0, std::int32_t(start_s + std::int64_t(pass_seconds))});
    host->arm_soon();
    int rc = 0;
    QTimer::singleShot(int(seconds * 1000), [&] {
        // An upload under way shows its Upload Status box: beside the window, in the picture too.
        QPixmap picture = window.grab();
        for (auto* box : window.findChildren<engine::UploadStatusBox*>()) {
            if (!box->isVisible())
                continue;
            box->move(window.frameGeometry().right() + 8, window.frameGeometry().top());
            QApplication::processEvents();
            const QPixmap side = box->grab();
            QPixmap both(picture.width() + 8 + side.width(), std::max(picture.height(), side.height()));
            both.fill(QColor(200, 200, 200));
            QPainter p(&both);
            p.drawPixmap(0, 0, picture);
            p.drawPixmap(picture.width() + 8, 0, side);
            p.end();
            picture = both;
        }
        if (!picture.save(QString::fromStdString(out), "PNG")) {
            std::fprintf(stderr, "brek-screenshot: cannot write %s\n", out.c_str());
            rc = 1;
        }
        app.quit();
    });
    app.exec();
    session.remove_observer(&fill);
    session.request_close();
    return rc;
}
