#include "dirview/app/tessel_boxes.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace orva::dirview {

namespace {

QString text_of(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }

QLabel* plain_label(const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setTextFormat(Qt::PlainText); // header texts are data, never markup
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return l;
}

QDialogButtonBox* ok_cancel(QDialog* box, bool cancel = true)
{
    auto* buttons = new QDialogButtonBox(cancel ? QDialogButtonBox::Ok | QDialogButtonBox::Cancel : QDialogButtonBox::Ok, box);
    QObject::connect(buttons, &QDialogButtonBox::accepted, box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, box, &QDialog::reject);
    return buttons;
}

// Fields that keep what the operator types in upper case, as the boxes always did.
QLineEdit* upper_field(int length, QWidget* parent)
{
    auto* e = new QLineEdit(parent);
    e->setMaxLength(length);
    QObject::connect(e, &QLineEdit::textEdited, e, [e](const QString& t) {
        const int pos = e->cursorPosition();
        e->setText(t.toUpper());
        e->setCursorPosition(pos);
    });
    return e;
}

std::string trimmed_left(const QString& s)
{
    std::string out = s.toUpper().toStdString();
    out.erase(0, out.find_first_not_of(' ') == std::string::npos ? out.size() : out.find_first_not_of(' '));
    return out;
}

} // namespace

SelectSatelliteBox::SelectSatelliteBox(const std::vector<std::string>& names, QWidget* parent, std::function<void()> help)
    : QDialog(parent)
{
    setWindowTitle("Select Satellite");
    setObjectName("SelectSatellite");
    auto* layout = new QVBoxLayout(this);
    list_ = new QListWidget(this);
    for (const auto& n : names)
        list_->addItem(text_of(n));
    if (list_->count() > 0)
        list_->setCurrentRow(0);
    layout->addWidget(list_);
    auto* buttons = ok_cancel(this);
    buttons->addButton(QDialogButtonBox::Help);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [help = std::move(help)] {
        if (help)
            help();
    });
    layout->addWidget(buttons);
    connect(list_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

std::string SelectSatelliteBox::chosen() const
{
    auto* item = list_->currentItem();
    return item ? item->text().toStdString() : std::string();
}

FindFileBox::FindFileBox(std::function<bool(const std::string&)> find, QWidget* parent)
    : QDialog(parent), find_(std::move(find))
{
    setWindowTitle("Find File");
    setObjectName("FindFile");
    auto* form = new QFormLayout(this);
    number_ = upper_field(9, this);
    number_->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9A-Fa-f]{0,9}"), number_));
    form->addRow("File Number", number_);
    form->addRow(ok_cancel(this));
}

void FindFileBox::accept()
{
    if (find_ && find_(number_->text().toStdString()))
        QDialog::accept();
}

FileSearchBox::FileSearchBox(QWidget* parent) : QDialog(parent)
{
    setWindowTitle("File Search");
    setObjectName("FileSearch");
    auto* form = new QFormLayout(this);
    for (const char* name : {"To", "From", "Title", "Keywords", "Filetype"}) {
        auto* e = upper_field(std::string_view(name) == "Filetype" ? 3 : 10, this);
        form->addRow(name, e);
        fields_.emplace_back(name, e);
    }
    form->addRow(ok_cancel(this));
}

QLineEdit* FileSearchBox::field(const char* name) const
{
    for (const auto& [n, e] : fields_)
        if (std::string_view(n) == name)
            return e;
    return nullptr;
}

SearchFields FileSearchBox::fields() const
{
    SearchFields f;
    f.to = trimmed_left(field("To")->text());
    f.from = trimmed_left(field("From")->text());
    f.title = trimmed_left(field("Title")->text());
    f.keywords = trimmed_left(field("Keywords")->text());
    f.file_type = trimmed_left(field("Filetype")->text());
    return f;
}

LinesBox::LinesBox(const QString& title, const std::vector<std::pair<std::string, std::string>>& lines,
                   QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    auto* form = new QFormLayout(this);
    QFont fixed("Monospace");
    fixed.setStyleHint(QFont::TypeWriter);
    for (const auto& [label, value] : lines) {
        auto* v = plain_label(text_of(value), this);
        v->setFont(fixed);
        form->addRow(plain_label(text_of(label), this), v);
        lines_.emplace_back(text_of(label), text_of(value));
    }
    form->addRow(ok_cancel(this, false));
}

QString LinesBox::value(const QString& label) const
{
    for (const auto& [l, v] : lines_)
        if (l == label)
            return v;
    return {};
}

std::vector<std::pair<std::string, std::string>> information_lines(const InfoText& info)
{
    return {
        {"File Number", info.file_number},   {"Downloads", info.download_count},
        {"To", info.destination},            {"From", info.source},
        {"Title", info.title},               {"Keywords", info.keywords},
        {"Uploader", info.uploader},         {"Upload Time", info.upload_time},
        {"File Type", info.file_type},       {"File Name", info.file_name},
        {"File Size", info.file_size},       {"Percent", info.percent},
        {"Compression", info.compression},   {"Expiry", info.expiry},
    };
}

SetupBox::SetupBox(const settings::TesselSettings& s, QWidget* parent) : QDialog(parent)
{
    setWindowTitle("Tessel Setup");
    setObjectName("TesselSetup");
    auto* form = new QFormLayout(this);
    auto digits = [this](int n, std::uint32_t value) {
        auto* e = new QLineEdit(QString::number(value), this);
        e->setMaxLength(n);
        e->setValidator(new QRegularExpressionValidator(QRegularExpression(QString("[0-9]{0,%1}").arg(n)), e));
        return e;
    };
    max_pfh = digits(3, s.maximum_pfh_files);
    max_messages = digits(4, s.maximum_messages);
    mark_never = new QCheckBox("Mark files NEVER after deleting", this);
    load_bbs = new QCheckBox("Load BBS messages into Tessel", this);
    strings = new QCheckBox("Display strings on toolbar", this);
    mark_never->setChecked(s.mark_never != 0);
    load_bbs->setChecked(s.load_bbs != 0);
    strings->setChecked(s.strings_on_toolbar != 0);
    form->addRow("Maximum PFH files to load", max_pfh);
    form->addRow("Maximum messages to load", max_messages);
    form->addRow(mark_never);
    form->addRow(load_bbs);
    form->addRow(strings);
    form->addRow(ok_cancel(this));
}

settings::TesselSettings SetupBox::result(settings::TesselSettings s) const
{
    if (!max_pfh->text().isEmpty())
        s.maximum_pfh_files = max_pfh->text().toUInt();
    if (!max_messages->text().isEmpty())
        s.maximum_messages = max_messages->text().toUInt();
    s.mark_never = mark_never->isChecked() ? 1 : 0;
    s.load_bbs = load_bbs->isChecked() ? 1 : 0;
    s.strings_on_toolbar = strings->isChecked() ? 1 : 0;
    return s;
}

} // namespace orva::dirview
