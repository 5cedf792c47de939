#include "engine/window/status_list_view.h"

#include <QMouseEvent>
#include <QPainter>

namespace orva::engine {

QColor colour_of(LineColour colour)
{
    switch (colour) {
    case LineColour::Red: return QColor(255, 0, 0);
    case LineColour::Blue: return QColor(0, 0, 255);
    case LineColour::DarkRed: return QColor(128, 0, 0);
    case LineColour::Green: return QColor(0, 128, 0);
    case LineColour::Black: break;
    }
    return QColor(0, 0, 0);
}

std::uint32_t directory_line_file(const StatusLine& line) { return line.file_number; }

StatusListView::StatusListView(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::white);
    setPalette(p);
}

void StatusListView::set_lines(std::vector<StatusLine> lines)
{
    if (lines == lines_)
        return;
    lines_ = std::move(lines);
    update();
}

QSize StatusListView::sizeHint() const
{
    const QFontMetrics m(font());
    return {m.horizontalAdvance(QLatin1Char('M')) * 60, m.lineSpacing() * 8};
}

int StatusListView::line_at(QPoint point) const
{
    // Lines are laid from the bottom up, so the newest stays in sight when the list is short.
    const int h = QFontMetrics(font()).lineSpacing();
    const int from_bottom = (height() - 2 - point.y()) / h;
    if (point.y() > height() - 2 || from_bottom < 0 || std::size_t(from_bottom) >= lines_.size())
        return -1;
    return int(lines_.size()) - 1 - from_bottom;
}

void StatusListView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFontMetrics m(font());
    int baseline = height() - 2 - m.descent();
    for (auto it = lines_.rbegin(); it != lines_.rend() && baseline > 0; ++it) {
        painter.setPen(colour_of(it->colour));
        painter.drawText(4, baseline, QString::fromStdString(it->text));
        baseline -= m.lineSpacing();
    }
}

void StatusListView::mouseDoubleClickEvent(QMouseEvent* event)
{
    const int i = line_at(event->position().toPoint());
    if (i >= 0)
        emit line_double_clicked(i);
}

} // namespace orva::engine
