#include "app/windows/ParameterTableModel.h"

#include <QColor>
#include <QFont>

namespace plovex {

ParameterTableModel::ParameterTableModel(QObject* parent) : QAbstractTableModel(parent) {}

const QStringList& ParameterTableModel::columnIdentifiers()
{
    static const QStringList ids = {QStringLiteral("Parameter"), QStringLiteral("Description"), QStringLiteral("Value")};
    return ids;
}

void ParameterTableModel::setDataSource(TableDataSource source)
{
    beginResetModel();
    source_ = std::move(source);
    rows_ = source_.numberOfRows ? std::max(0, source_.numberOfRows()) : 0;
    endResetModel();
}

void ParameterTableModel::reload()
{
    const int rows = source_.numberOfRows ? std::max(0, source_.numberOfRows()) : 0;
    if (rows != rows_) {
        beginResetModel();
        rows_ = rows;
        endResetModel();
        return;
    }
    if (rows_ > 0)
        emit dataChanged(index(0, 0), index(rows_ - 1, columnCount() - 1),
                         {Qt::DisplayRole, Qt::ForegroundRole, Qt::FontRole, Qt::BackgroundRole, Qt::ToolTipRole});
}

int ParameterTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : rows_;
}

int ParameterTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columnIdentifiers().size());
}

QVariant ParameterTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rows_ || index.column() >= columnCount())
        return {};
    if (role == Qt::TextAlignmentRole) {
        // Numbers line up on the right, text on the left.
        const bool numeric = index.column() != 1;
        return QVariant::fromValue(Qt::Alignment((numeric ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    }
    if (role == Qt::ForegroundRole || role == Qt::FontRole || role == Qt::BackgroundRole || role == Qt::ToolTipRole)
        return rowLook(index.row(), role);
    if (role != Qt::DisplayRole || !source_.objectValue)
        return {};
    const std::string id = columnIdentifiers().at(index.column()).toStdString();
    return QString::fromStdString(source_.objectValue(id, index.row()));
}

QVariant ParameterTableModel::rowLook(int row, int role) const
{
    if (!source_.rowState)
        return {};
    const ParameterState state = source_.rowState(row);
    if (state == ParameterState::Current)
        return {};
    switch (role) {
    case Qt::ForegroundRole:
        return QColor(0x80, 0x80, 0x80);
    case Qt::FontRole: {
        if (state != ParameterState::Waiting)
            return {};
        QFont italic;
        italic.setItalic(true);
        return italic;
    }
    case Qt::BackgroundRole:
        if (state == ParameterState::NotTaken || state == ParameterState::NoAnswer)
            return QColor(0xff, 0xdd, 0xd8);
        return {};
    case Qt::ToolTipRole:
        return source_.rowNote ? QString::fromStdString(source_.rowNote(row)) : QString();
    default:
        return {};
    }
}

QVariant ParameterTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return QAbstractTableModel::headerData(section, orientation, role);
    return columnIdentifiers().at(section);
}

Qt::ItemFlags ParameterTableModel::flags(const QModelIndex& index) const
{
    // Display only: cells can be selected, never edited.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace plovex
