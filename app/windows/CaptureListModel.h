#pragma once
// The captured readings of this session, as the window lists them: one row
// each, newest last, with the time, an editable label, the count, and the
// mean and spread of X and Y in the window's unit and of the temperature.
// The rows go out as CSV (Save as CSV…, the same columns as plovex-cli
// capture --format csv, with the zero) and, for a spreadsheet, as tab-
// separated text (Copy).

#include "link/TiltUnits.h"
#include "record/CapturedReading.h"

#include <QAbstractTableModel>

#include <string>
#include <vector>

namespace plovex {

class CaptureListModel final : public QAbstractTableModel {
public:
    enum Column { Time, Label, Count, XMean, XSpread, YMean, YSpread, Temperature, ColumnCount };

    explicit CaptureListModel(QObject* parent = nullptr);

    void add(record::CapturedReading reading);
    const std::vector<record::CapturedReading>& readings() const { return readings_; }
    // The unit X and Y are shown and written in.
    void setUnit(board::TiltUnit unit);
    board::TiltUnit unit() const { return unit_; }

    // rows (all when empty), in order, as CSV with its header, and as tab-
    // separated text with a header line.
    std::string csv(std::vector<int> rows = {}) const;
    std::string tabSeparated(std::vector<int> rows = {}) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The label is the one cell that can be edited.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    bool removeRows(int row, int count, const QModelIndex& parent = QModelIndex()) override;

private:
    std::vector<int> chosen(std::vector<int> rows) const;

    std::vector<record::CapturedReading> readings_;
    board::TiltUnit unit_ = board::TiltUnit::Degrees;
};

} // namespace plovex
