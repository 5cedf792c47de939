// tessel-screenshot SAT --out FILE.png [--dark]: Tessel's window over the satellite's directory as the
// store names it, with a few files marked, saved as a picture. Kept so the README's screenshot
// can be retaken (testbed/screenshots/tessel.sh).
#include "dirview/app/tessel_window.h"
#include "platform/store/store.h"

#include <QApplication>
#include <QPalette>
#include <QPixmap>
#include <QStyleFactory>
#include <QTableView>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// A desktop on a dark theme: light text on dark rows.
void use_dark_palette()
{
    QApplication::setStyle(QStyleFactory::create("Fusion"));
    QPalette p;
    p.setColor(QPalette::Window, QColor(45, 45, 48));
    p.setColor(QPalette::WindowText, QColor(220, 220, 220));
    p.setColor(QPalette::Base, QColor(30, 30, 30));
    p.setColor(QPalette::AlternateBase, QColor(45, 45, 48));
    p.setColor(QPalette::Text, QColor(220, 220, 220));
    p.setColor(QPalette::Button, QColor(55, 55, 58));
    p.setColor(QPalette::ButtonText, QColor(220, 220, 220));
    p.setColor(QPalette::Highlight, QColor(38, 79, 120));
    p.setColor(QPalette::HighlightedText, Qt::white);
    QApplication::setPalette(p);
}

} // namespace

int main(int argc, char** argv)
{
    using namespace orva;
    QApplication app(argc, argv);
    std::string satellite, out = "tessel.png";
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--out") && i + 1 < argc)
            out = argv[++i];
        else if (!std::strcmp(argv[i], "--dark"))
            use_dark_palette();
        else if (satellite.empty())
            satellite = argv[i];
    }
    if (satellite.empty()) {
        std::fprintf(stderr, "usage: tessel-screenshot SATELLITE --out FILE.png\n");
        return 2;
    }
    auto store = platform::Store::open_default(platform::Access::ReadWrite);
    if (!store) {
        std::fprintf(stderr, "tessel-screenshot: %s\n", store.error().message.c_str());
        return 1;
    }
    dirview::TesselOptions options;
    options.store = &*store;
    dirview::TesselWindow window(options);
    window.resize(980, 460);
    window.show();
    if (!window.open_satellite(satellite)) {
        std::fprintf(stderr, "tessel-screenshot: %s has no directory to show\n", satellite.c_str());
        return 1;
    }
    (void)window.apply_mode("All files");
    // A few choices as an operator would make them: the list shows them in its first column.
    const int marks[] = {10, 9, 1, 8};
    for (std::size_t i = 0; i < std::size(marks) && i + 1 < window.model().row_count(); ++i) {
        window.select_row(i + 1);
        window.mark(marks[i]);
    }
    window.select_row(2);
    const std::size_t rows = window.model().row_count();
    bool saved = false;
    QTimer::singleShot(300, &window, [&] {
        saved = window.grab().save(QString::fromStdString(out));
        QApplication::quit();
    });
    QApplication::exec();
    if (!saved) {
        std::fprintf(stderr, "tessel-screenshot: could not write %s\n", out.c_str());
        return 1;
    }
    std::printf("%s: %zu rows\n", out.c_str(), rows);
    return 0;
}
