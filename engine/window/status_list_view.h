// The coloured status list: the session's last lines, newest at the bottom.
#pragma once

#include "engine/session/session_view.h"

#include <QColor>
#include <QWidget>

#include <vector>

namespace orva::engine {

QColor colour_of(LineColour colour);
// The directory entry a line reports; 0 for other lines.
std::uint32_t directory_line_file(const StatusLine& line);

class StatusListView : public QWidget {
    Q_OBJECT
public:
    explicit StatusListView(QWidget* parent = nullptr);
    void set_lines(std::vector<StatusLine> lines);
    const std::vector<StatusLine>& lines() const { return lines_; }
    // The line drawn at a point of the widget, as an index into lines(); -1 for none.
    int line_at(QPoint point) const;
    QSize sizeHint() const override;

signals:
    void line_double_clicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    std::vector<StatusLine> lines_;
};

} // namespace orva::engine
