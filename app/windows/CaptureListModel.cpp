#include "app/windows/CaptureListModel.h"

#include <QString>

#include <algorithm>
#include <cmath>

namespace plovex {

namespace {

QString qs(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

// A figure with the screen's decimals, one more for a spread; "" for none.
QString figure(double v, int decimals)
{
    return std::isnan(v) ? QString() : QString::number(v, 'f', decimals);
}

// One cell of tab-separated text: a tab or line break in a label would
// split the row, so it becomes a blank.
std::string tabCell(std::string text)
{
    std::replace_if(text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return text;
}

} // namespace

CaptureListModel::CaptureListModel(QObject* parent) : QAbstractTableModel(parent) {}

void CaptureListModel::add(record::CapturedReading reading)
{
    const int row = static_cast<int>(readings_.size());
    beginInsertRows(QModelIndex(), row, row);
    readings_.push_back(std::move(reading));
    endInsertRows();
}

void CaptureListModel::setUnit(board::TiltUnit unit)
{
    if (unit == unit_)
        return;
    beginResetModel();
    unit_ = unit;
    endResetModel();
}

std::vector<int> CaptureListModel::chosen(std::vector<int> rows) const
{
    if (rows.empty())
        for (int i = 0; i < static_cast<int>(readings_.size()); ++i)
            rows.push_back(i);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    std::erase_if(rows, [this](int r) { return r < 0 || r >= static_cast<int>(readings_.size()); });
    return rows;
}

std::string CaptureListModel::csv(std::vector<int> rows) const
{
    std::string out = record::capturedCsvHeader(unit_, true);
    for (const int r : chosen(std::move(rows)))
        out += record::capturedCsvRow(readings_[static_cast<std::size_t>(r)], unit_, true);
    return out;
}

std::string CaptureListModel::tabSeparated(std::vector<int> rows) const
{
    std::string out;
    bool header = true;
    for (const int r : chosen(std::move(rows))) {
        const record::Cells cells = record::capturedCells(readings_[static_cast<std::size_t>(r)], unit_, true);
        if (header) {
            for (std::size_t i = 0; i < cells.size(); ++i)
                out += (i ? "\t" : "") + cells[i].first;
            out += "\n";
            header = false;
        }
        for (std::size_t i = 0; i < cells.size(); ++i)
            out += (i ? "\t" : "") + tabCell(cells[i].second);
        out += "\n";
    }
    return out;
}

int CaptureListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(readings_.size());
}

int CaptureListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CaptureListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(readings_.size()))
        return {};
    const record::CapturedReading& r = readings_[static_cast<std::size_t>(index.row())];
    if (role == Qt::TextAlignmentRole)
        return index.column() == Label ? QVariant() : QVariant(int(Qt::AlignRight | Qt::AlignVCenter));
    if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole)
        return {};
    if (role == Qt::ToolTipRole)
        return qs(record::capturedText(r, unit_));
    const int decimals = board::tiltUnitDecimals(unit_);
    switch (static_cast<Column>(index.column())) {
    case Time: {
        // The local time of day; the whole stamp is in the tooltip and the CSV.
        const std::string stamp = record::isoLocalTime(r.start);
        return qs(stamp.size() >= 23 ? std::string_view(stamp).substr(11, 12) : std::string_view(stamp));
    }
    case Label: return qs(r.label);
    case Count: return QVariant::fromValue<qulonglong>(r.count);
    case XMean: return figure(r.axis(unit_, 0).mean(), decimals);
    case XSpread: return figure(r.axis(unit_, 0).stddev(), decimals + 1);
    case YMean: return figure(r.axis(unit_, 1).mean(), decimals);
    case YSpread: return figure(r.axis(unit_, 1).stddev(), decimals + 1);
    case Temperature: return figure(r.temperature.mean(), 1);
    case ColumnCount: break;
    }
    return {};
}

QVariant CaptureListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const QString symbol = qs(board::tiltUnitSymbol(unit_));
    switch (static_cast<Column>(section)) {
    case Time: return QStringLiteral("Time");
    case Label: return QStringLiteral("Label");
    case Count: return QStringLiteral("Count");
    case XMean: return QStringLiteral("X (%1)").arg(symbol.trimmed());
    case XSpread: return QStringLiteral("X sd");
    case YMean: return QStringLiteral("Y (%1)").arg(symbol.trimmed());
    case YSpread: return QStringLiteral("Y sd");
    case Temperature: return QStringLiteral("°C");
    case ColumnCount: break;
    }
    return {};
}

Qt::ItemFlags CaptureListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == Label)
        f |= Qt::ItemIsEditable;
    return f;
}

bool CaptureListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || index.column() != Label ||
        index.row() >= static_cast<int>(readings_.size()))
        return false;
    readings_[static_cast<std::size_t>(index.row())].label = value.toString().toStdString();
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

bool CaptureListModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > static_cast<int>(readings_.size()))
        return false;
    beginRemoveRows(parent, row, row + count - 1);
    readings_.erase(readings_.begin() + row, readings_.begin() + row + count);
    endRemoveRows();
    return true;
}

} // namespace plovex
