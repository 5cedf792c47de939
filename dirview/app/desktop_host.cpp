#include "dirview/app/desktop_host.h"

#include <QMessageBox>

namespace orva::dirview {

namespace {
QString qs(const std::string& s) { return QString::fromUtf8(s.data(), qsizetype(s.size())); }
} // namespace

Status DesktopHost::launch(const std::vector<std::string>& words)
{
    auto p = launcher_.start(words);
    if (!p)
        return p.error();
    return {};
}

Status DesktopHost::open_file(const std::filesystem::path& path) { return launch({"xdg-open", path.string()}); }

bool DesktopHost::confirm(const std::string& caption, const std::string& text, bool yes_no)
{
    QMessageBox box(QMessageBox::Question, qs(caption), qs(text),
                    yes_no ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok | QMessageBox::Cancel, window_);
    box.setTextFormat(Qt::PlainText);
    const int answer = box.exec();
    return answer == QMessageBox::Yes || answer == QMessageBox::Ok;
}

void DesktopHost::inform(const std::string& caption, const std::string& text)
{
    QMessageBox box(QMessageBox::Information, qs(caption), qs(text), QMessageBox::Ok, window_);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace orva::dirview
