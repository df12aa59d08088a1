#pragma once
// The list of captured readings: a line saying how the last capture went,
// the table (CaptureListModel; double-click a label to edit it), and
// Delete, Copy and Save as CSV… for the selected rows (all rows when none
// is selected). Delete and Ctrl+C work in the table too.

#include "app/windows/CaptureListModel.h"

#include <QWidget>

class QLabel;
class QPushButton;
class QTableView;

namespace plovex {

class CaptureListPanel final : public QWidget {
public:
    explicit CaptureListPanel(QWidget* parent = nullptr);

    CaptureListModel& model() { return *model_; }
    QTableView* table() const { return table_; }
    // "Captured 725 measurements over 5 s", or why there was no reading.
    void setStatus(const QString& text);

    void deleteSelected();
    void copySelected();
    // Asks for a file and writes the selected rows (or all) as CSV; a file
    // that cannot be written is said so and the list stays as it is.
    void saveAs();

private:
    std::vector<int> selectedRows() const;

    CaptureListModel* model_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* save_ = nullptr;
};

} // namespace plovex
