#include "app/windows/AlarmHistoryDialog.h"

#include "alarm/EventText.h"
#include "record/LocalTime.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace plovex {

AlarmHistoryDialog::AlarmHistoryDialog(std::function<const std::vector<AlarmHistoryEntry>&()> history, QWidget* parent)
    : QDialog(parent), history_(std::move(history))
{
    setWindowTitle(QStringLiteral("Alarm History"));
    auto* v = new QVBoxLayout(this);
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("alarmHistory"));
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels({QStringLiteral("Time"), QStringLiteral("State"), QStringLiteral("Rule"), QStringLiteral("Value")});
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    v->addWidget(list_, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton* save = buttons->addButton(QStringLiteral("Save as CSV…"), QDialogButtonBox::ActionRole);
    connect(save, &QPushButton::clicked, this, [this] { this->save(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    v->addWidget(buttons);
    resize(560, 320);
    refresh();
}

void AlarmHistoryDialog::refresh()
{
    const auto& history = history_();
    if (history.size() < shown_) {
        list_->clear();
        shown_ = 0;
    }
    for (; shown_ < history.size(); ++shown_) {
        const auto& e = history[shown_];
        auto* item = new QTreeWidgetItem(list_, {QString::fromStdString(record::isoLocalTime(e.time)),
                                                 QString::fromUtf8(alarm::stateText(e.state)),
                                                 QString::fromStdString(e.rule), QString::fromStdString(e.value)});
        if (e.state == alarm::AlarmState::Raised)
            item->setForeground(1, QColor(0xd0, 0x10, 0x10));
    }
    if (shown_ > 0)
        list_->scrollToBottom();
}

void AlarmHistoryDialog::save()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Alarm History"),
                                                      QStringLiteral("alarms.csv"),
                                                      QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    QFile file(path);
    const std::string csv = alarmHistoryCsv(history_());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(csv.data(), static_cast<qint64>(csv.size())) != static_cast<qint64>(csv.size()) || !file.flush())
        QMessageBox::warning(this, QStringLiteral("Alarm History"),
                             QStringLiteral("Could not write %1: %2").arg(path, file.errorString()));
}

} // namespace plovex
