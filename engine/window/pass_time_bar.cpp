#include "engine/window/pass_time_bar.h"

#include <QPainter>

namespace orva::engine {

QString pass_time_text(std::int64_t now, std::optional<std::int64_t> end)
{
    if (!end)
        return QObject::tr("Pass end not known");
    const std::int64_t left = *end - now;
    if (left <= 0)
        return QObject::tr("Pass ended");
    const auto mm = QString::number(left / 60);
    const auto ss = QStringLiteral("%1").arg(left % 60, 2, 10, QLatin1Char('0'));
    return QObject::tr("Pass ends in %1:%2").arg(mm, ss);
}

int pass_time_permille(std::int64_t start, std::int64_t now, std::optional<std::int64_t> end)
{
    if (!end)
        return 0;
    if (*end <= start || now >= *end)
        return 1000;
    if (now <= start)
        return 0;
    return int((now - start) * 1000 / (*end - start));
}

PassTimeBar::PassTimeBar(QWidget* parent) : QWidget(parent) { setMinimumHeight(QFontMetrics(font()).height() + 6); }

void PassTimeBar::set_times(std::int64_t start, std::int64_t now, std::optional<std::int64_t> end)
{
    if (start == start_ && now == now_ && end == end_)
        return;
    start_ = start, now_ = now, end_ = end;
    update();
}

QSize PassTimeBar::sizeHint() const { return {200, QFontMetrics(font()).height() + 6}; }

void PassTimeBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    p.fillRect(r, Qt::white);
    const int filled = r.width() * permille() / 1000;
    p.fillRect(QRect(r.left(), r.top(), filled, r.height()), end_ && now_ >= *end_ ? QColor(200, 0, 0) : QColor(0, 0, 160));
    p.setPen(Qt::darkGray);
    p.drawRect(r);
    p.setPen(filled > r.width() / 2 ? Qt::white : Qt::black);
    p.drawText(r, Qt::AlignCenter, text());
}

} // namespace orva::engine
