// TesselWindow's commands: what the menus, keys and toolbar run on the selected file and the
// directory, and the boxes they open.
#include "dirview/app/tessel_window.h"

#include "common/settings/keys.h"
#include "dirview/app/directory_table_model.h"
#include "dirview/app/list_font.h"
#include "dirview/app/tessel_boxes.h"
#include "platform/store/store.h"
#include "platform/version.h"

#include <QFontDialog>
#include <QMessageBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTableView>

#include <cctype>

namespace orva::dirview {

namespace fs = std::filesystem;

namespace {

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

bool ends_with_exe(const fs::path& p)
{
    std::string ext = p.extension().string();
    for (auto& c : ext)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return ext == ".EXE";
}

} // namespace

void TesselWindow::mark(int code)
{
    const auto r = selected_row();
    if (!loaded_ || !r) {
        sync_checks();
        return;
    }
    if (!model_.has_status_table() || !model_.mark(*r, code)) {
        host_->inform("Tessel", "View was NULL");
        sync_checks();
        return;
    }
    table_->rows_changed({*r});
    sync_checks();
    move_down();
}

void TesselWindow::view_file()
{
    const auto* e = selected_entry();
    if (!loaded_ || !e)
        return;
    const auto path = model_.entry_path(*e);
    if (!path)
        return;
    if (ends_with_exe(*path) &&
        !host_->confirm("Tessel", "This file is an executable file.  Are you sure you wish to run this program?", true))
        return;
    (void)host_->open_file(*path); // a file that can't be opened is ignored
}

void TesselWindow::show_information()
{
    const auto* e = selected_entry();
    if (!loaded_ || !e)
        return;
    auto* box = new LinesBox("Message Information", information_lines(model_.info(e->file_number)), this);
    box->setObjectName("MessageInformation");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

void TesselWindow::reply()
{
    const auto* e = selected_entry();
    if (!loaded_ || !e)
        return;
    std::vector<std::string> words{(fs::path(model_.config().suite_dir) / "QUILLET.EXE").string()};
    for (auto& a : model_.reply_arguments(*e))
        words.push_back(std::move(a));
    (void)host_->launch(words);
}

void TesselWindow::send_message()
{
    if (!loaded_)
        return;
    std::vector<std::string> words{(fs::path(model_.config().suite_dir) / "QUILLET.EXE").string()};
    for (auto& a : model_.new_message_arguments())
        words.push_back(std::move(a));
    (void)host_->launch(words);
}

void TesselWindow::delete_file()
{
    const auto r = selected_row();
    if (!loaded_ || !r)
        return;
    if (settings_.confirm_delete &&
        !host_->confirm("Delete Files",
                        "Are you sure you want to delete the files associated with this message ?????", false))
        return;
    (void)model_.delete_files(*r);
    table_->rows_changed({*r});
    sync_checks();
    move_down();
}

void TesselWindow::show_statistics()
{
    if (!loaded_ || model_.counters().loaded == 0)
        return;
    auto* box = new LinesBox("Directory Statistics", statistics_lines(model_.counters(), model_.row_count()), this);
    box->setObjectName("DirectoryStatistics");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

TesselWindow::FindResult TesselWindow::find_number(const std::string& hex_text)
{
    std::uint32_t number = 0;
    bool any = false;
    for (char c : hex_text) {
        const int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                      : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                      : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
                                                                  : -1;
        if (d < 0)
            break;
        number = number * 16 + std::uint32_t(d);
        any = true;
    }
    if (!any || !model_.find(number)) {
        host_->inform("Find", "The message was not found.");
        return FindResult::NotFound;
    }
    if (auto row = model_.row_of(number)) {
        select_row(*row);
        list_->scrollTo(table_->index(int(*row), 0), QAbstractItemView::PositionAtTop);
        return FindResult::Shown;
    }
    auto* box = new LinesBox("Message Information", information_lines(model_.info(number)), this);
    box->setObjectName("MessageInformation");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    return FindResult::Information;
}

void TesselWindow::find_by_number()
{
    if (!loaded_)
        return;
    FindFileBox box([this](const std::string& t) { return find_number(t) != FindResult::NotFound; }, this);
    box.exec();
}

void TesselWindow::custom_search(const SearchFields& fields)
{
    if (!loaded_)
        return;
    model_.search(fields);
    searched_ = true;
    after_list_rebuilt(std::nullopt);
}

void TesselWindow::open_custom_search()
{
    if (!loaded_)
        return;
    FileSearchBox box(this);
    if (box.exec() == QDialog::Accepted)
        custom_search(box.fields());
}

void TesselWindow::open_setup()
{
    SetupBox box(settings_, this);
    if (box.exec() != QDialog::Accepted)
        return;
    apply_setup(box.result(settings_));
}

void TesselWindow::apply_setup(const settings::TesselSettings& chosen)
{
    settings_ = chosen;
    model_.set_mark_never(settings_.mark_never != 0);
    if (options_.store)
        for (const char* name : {"Maximum PFH Files", "Maximum Messages", "Load BBS", "Mark Never", "Strings on Toolbar"})
            (void)settings::write_one(*options_.store, settings::keys::tessel, settings::tessel_fields(), settings_, name);
    build_toolbar();
}

void TesselWindow::choose_font()
{
    bool ok = false;
    const QFont f = QFontDialog::getFont(&ok, list_font(settings_), this, "Select Font",
                                         QFontDialog::MonospacedFonts | QFontDialog::ScalableFonts);
    if (!ok)
        return;
    store_list_font(settings_, f);
    if (options_.store)
        for (const char* name : {"Font Size", "Font Type", "Font Pitch", "Font Name"})
            (void)settings::write_one(*options_.store, settings::keys::tessel, settings::tessel_fields(), settings_, name);
    apply_list_font(list_font(settings_));
}

void TesselWindow::print_directory()
{
    if (!loaded_)
        return;
    // The operator picks the printer (or a PDF file) in the desktop's print box: a station without
    // a printer can still print.
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    QPrintDialog box(printer_.get(), this);
    box.setObjectName("PrintDirectory");
    box.setWindowTitle("Print Directory");
    if (box.exec() != QDialog::Accepted)
        return;
    print_to(*printer_);
}

bool TesselWindow::print_to(QPrinter& printer)
{
    printer.setDocName("Tessel - Directory Print");
    QPainter painter;
    if (!painter.begin(&printer)) {
        host_->inform("Print Error", "Error getting HDC");
        return false;
    }
    setEnabled(false);
    QFont font = list_font(settings_);
    painter.setFont(font);
    const QFontMetrics m(painter.font(), &printer);
    const int line = m.height() + m.leading();
    const int indent = m.averageCharWidth() * 9;
    const int page_height = painter.viewport().height();
    auto heading = [&] {
        painter.drawText(0, m.ascent(), kNumberHeading);
        painter.drawText(indent, m.ascent(), kRowHeading);
        return 2 * line;
    };
    int y = heading();
    for (std::size_t i = 0; i < model_.row_count(); ++i) {
        if (y + line > page_height) {
            printer.newPage();
            y = heading();
        }
        const auto& e = model_.row(i);
        painter.drawText(0, y + m.ascent(), qs(format_number(e.file_number)));
        painter.drawText(indent, y + m.ascent(), qs(format_row(e, model_.status_of(e.file_number), RowOptions{true})));
        y += line;
    }
    painter.end();
    setEnabled(true);
    return true;
}

void TesselWindow::about()
{
    auto* m = new QMessageBox(QMessageBox::Information, "About Tessel",
                              "Tessel, the directory viewer of the Orva ground station.\nVersion " +
                                  QString::fromStdString(suite_version_text()),
                              QMessageBox::Ok, this);
    m->setObjectName("About");
    m->setAttribute(Qt::WA_DeleteOnClose);
    m->open();
}

void TesselWindow::show_help(const QString& topic)
{
    if (Status st = host_->open_help("tessel"); !st)
        host_->inform(topic.toStdString(), st.error().message);
}

} // namespace orva::dirview
