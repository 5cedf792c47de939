// The pass-time bar: how much of the pass has gone, up to the end the station program gave.
#pragma once

#include <QWidget>

#include <cstdint>
#include <optional>

namespace orva::engine {

// "Pass ends in 4:05", "Pass ended", or "Pass end not known".
QString pass_time_text(std::int64_t now, std::optional<std::int64_t> end);
// Share of the pass gone, 0..1000; 0 without an end.
int pass_time_permille(std::int64_t start, std::int64_t now, std::optional<std::int64_t> end);

class PassTimeBar : public QWidget {
    Q_OBJECT
public:
    explicit PassTimeBar(QWidget* parent = nullptr);
    void set_times(std::int64_t start, std::int64_t now, std::optional<std::int64_t> end);
    QString text() const { return pass_time_text(now_, end_); }
    int permille() const { return pass_time_permille(start_, now_, end_); }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::int64_t start_ = 0, now_ = 0;
    std::optional<std::int64_t> end_;
};

} // namespace orva::engine
