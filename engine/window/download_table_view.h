// The ten download slots: each file being received with its bytes so far, its total, the holes
// left and a progress bar.
#pragma once

#include "engine/session/session_view.h"

#include <QTableWidget>

#include <vector>

namespace orva::engine {

// "1A2B" / "12345 of 40000" / "3": the cells of one row, as shown.
QString received_text(const DownloadRow& row);

class DownloadTableView : public QTableWidget {
    Q_OBJECT
public:
    enum Column { FileColumn, ReceivedColumn, HolesColumn, ProgressColumn, ColumnCount };
    explicit DownloadTableView(QWidget* parent = nullptr);
    void set_rows(std::vector<DownloadRow> rows);
    const std::vector<DownloadRow>& rows() const { return rows_; }
    // The file of a row; 0 for a free slot.
    std::uint32_t file_at(int row) const;

signals:
    void file_double_clicked(std::uint32_t file_number);
    // A right click: the file of the row under it, or 0 away from a busy row.
    void menu_requested(std::uint32_t file_number, QPoint global);

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    std::vector<DownloadRow> rows_;
};

} // namespace orva::engine
