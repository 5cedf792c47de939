#include "station/app/setup/list_printer.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPrintDialog>

#include "station/app/setup/form_widget.h"

namespace orva::station::app {

bool print_list(QPrinter& printer, const PrintJob& job)
{
    printer.setDocName(job.document);
    QPainter p;
    if (!p.begin(&printer))
        return false;
    p.setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const int line_height = p.fontMetrics().lineSpacing();
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const int bottom = page.height() - line_height;
    int y = 0;
    auto top_of_page = [&] {
        y = line_height;
        p.drawText(0, y, job.title);
        y += 2 * line_height;
        for (const auto& h : job.heading.split('\n')) {
            p.drawText(0, y, h);
            y += line_height;
        }
        y += line_height;
    };
    top_of_page();
    for (const auto& line : job.lines) {
        if (y > bottom) {
            printer.newPage();
            top_of_page();
        }
        p.drawText(0, y, line);
        y += line_height;
    }
    return p.end();
}

void print_with_dialog(QWidget* parent, const PrintJob& job)
{
    QPrinter printer;
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle("Print");
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!print_list(printer, job))
        show_message(parent, "Helmo", "The printer could not be opened.");
}

} // namespace orva::station::app
