#include "app/windows/CaptureListPanel.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace plovex {

CaptureListPanel::CaptureListPanel(QWidget* parent) : QWidget(parent)
{
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(4, 4, 4, 4);
    auto* row = new QHBoxLayout;
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("captureStatus"));
    status_->setTextFormat(Qt::PlainText);
    delete_ = new QPushButton(QStringLiteral("Delete"), this);
    copy_ = new QPushButton(QStringLiteral("Copy"), this);
    save_ = new QPushButton(QStringLiteral("Save as CSV…"), this);
    row->addWidget(status_, 1);
    row->addWidget(delete_);
    row->addWidget(copy_);
    row->addWidget(save_);
    v->addLayout(row);

    model_ = new CaptureListModel(this);
    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("captureTable"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->setVisible(false);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(CaptureListModel::Label, QHeaderView::Stretch);
    table_->setMinimumHeight(4 * table_->fontMetrics().height());
    v->addWidget(table_, 1);

    connect(delete_, &QPushButton::clicked, this, &CaptureListPanel::deleteSelected);
    connect(copy_, &QPushButton::clicked, this, &CaptureListPanel::copySelected);
    connect(save_, &QPushButton::clicked, this, &CaptureListPanel::saveAs);
    auto* del = new QShortcut(QKeySequence::Delete, table_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, this, &CaptureListPanel::deleteSelected);
    auto* copy = new QShortcut(QKeySequence::Copy, table_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, &CaptureListPanel::copySelected);

    // Nothing to delete, copy or save in an empty list.
    const auto enable = [this] {
        const bool any = model_->rowCount() > 0;
        for (QPushButton* b : {delete_, copy_, save_})
            b->setEnabled(any);
    };
    connect(model_, &QAbstractItemModel::rowsInserted, this, enable);
    connect(model_, &QAbstractItemModel::rowsRemoved, this, enable);
    enable();
}

void CaptureListPanel::setStatus(const QString& text)
{
    status_->setText(text);
}

std::vector<int> CaptureListPanel::selectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex& i : table_->selectionModel()->selectedRows())
        rows.push_back(i.row());
    return rows;
}

void CaptureListPanel::deleteSelected()
{
    std::vector<int> rows = selectedRows();
    // From the last, so that the rows still to go keep their numbers.
    std::sort(rows.rbegin(), rows.rend());
    for (const int r : rows)
        model_->removeRows(r, 1);
}

void CaptureListPanel::copySelected()
{
    if (model_->rowCount() > 0)
        QApplication::clipboard()->setText(QString::fromStdString(model_->tabSeparated(selectedRows())));
}

void CaptureListPanel::saveAs()
{
    if (model_->rowCount() == 0)
        return;
    const QString name = QFileDialog::getSaveFileName(window(), QStringLiteral("Save Captured Readings"), QString(),
                                                      QStringLiteral("CSV files (*.csv)"));
    if (name.isEmpty())
        return;
    const std::string text = model_->csv(selectedRows());
    std::ofstream out(name.toStdString(), std::ios::binary | std::ios::trunc);
    const bool written = out && out.write(text.data(), static_cast<std::streamsize>(text.size())) && out.flush();
    if (!written)
        QMessageBox::warning(window(), QStringLiteral("Save Captured Readings"),
                             QStringLiteral("%1 could not be written: %2").arg(name, QString::fromLocal8Bit(std::strerror(errno))));
    else
        setStatus(QStringLiteral("Saved %1").arg(name));
}

} // namespace plovex
