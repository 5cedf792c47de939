// first-start-screenshot FILE.png: Helmo's first-start setup ("Orva Setup") on the store in
// $ORVA_STORE, filled in as a new operator would, saved as a picture (testbed/screenshots/
// first-start.sh). Nothing is written: the dialog is shown, not confirmed.
#include <QApplication>
#include <QLineEdit>
#include <QPixmap>

#include <cstdio>

#include "platform/store/store.h"
#include "station/app/setup/first_start_dialog.h"

int main(int argc, char** argv)
{
    using namespace orva;
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: first-start-screenshot FILE.png\n");
        return 2;
    }
    auto store = platform::Store::open_default(platform::Access::ReadWrite);
    if (!store) {
        std::fprintf(stderr, "first-start-screenshot: %s\n", store.error().message.c_str());
        return 1;
    }
    station::app::FirstStartDialog dialog(*store);
    auto type = [](QLineEdit* line, const QString& text) {
        line->setText(text);
        emit line->textEdited(text);
    };
    type(dialog.callsign(), "G4XYZ");
    type(dialog.locator(), "IO91wm");
    dialog.show();
    dialog.resize(dialog.sizeHint().expandedTo(QSize(520, 0)));
    for (int i = 0; i < 20; ++i)
        app.processEvents();
    if (!dialog.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "first-start-screenshot: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
