#pragma once
// The parameter table's Qt model: it asks its data source for the row count
// and for each cell by column identifier. The controller reaches the view
// that shows it through TableViewField (outlets/QtOutlets.h).

#include "controller/Outlets.h"

#include <QAbstractTableModel>
#include <QStringList>

#include <functional>
#include <string>

namespace plovex {

struct TableDataSource {
    std::function<int()> numberOfRows;
    std::function<std::string(const std::string& identifier, int row)> objectValue;
    // Optional: where each row's value stands, and why it is not current.
    // A row not current is greyed (italic while a write waits, tinted when
    // a write did not take) and carries the note as its tooltip.
    std::function<ParameterState(int row)> rowState;
    std::function<std::string(int row)> rowNote;
};

class ParameterTableModel final : public QAbstractTableModel {
public:
    explicit ParameterTableModel(QObject* parent = nullptr);

    // Column identifiers, which are also the column titles.
    static const QStringList& columnIdentifiers();

    void setDataSource(TableDataSource source);

    // Asks the data source again for every cell. The selection stays as it
    // is unless the row count changed.
    void reload();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // The colours, font and tooltip of a row that is not current.
    QVariant rowLook(int row, int role) const;

    TableDataSource source_;
    int rows_ = 0; // the count last reported to the view
};

} // namespace plovex
