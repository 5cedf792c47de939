// Printing a list: the title and the column heading at the top of every page, one line after
// another, a new page when the page is full. The viewers print through Qt's print dialog;
// tests print straight to a PDF file.
#pragma once

#include <QPrinter>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace orva::station::app {

struct PrintJob {
    QString document; // the document name
    QString title;
    QString heading;
    QStringList lines;
};

// Prints on `printer`; false when the printer could not start (the caller reports it).
bool print_list(QPrinter& printer, const PrintJob& job);
// Asks for the printer (Qt's print dialog), then prints; failures are shown.
void print_with_dialog(QWidget* parent, const PrintJob& job);

} // namespace orva::station::app
