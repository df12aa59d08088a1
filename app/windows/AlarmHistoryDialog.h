#pragma once
// Measure > Alarm History…: the alarms raised and cleared since the window
// opened, with their times and values, the latest last; Save as CSV… writes
// them (controller/WindowAlarms.h: alarmHistoryCsv).

#include "controller/WindowAlarms.h"

#include <QDialog>

#include <functional>

class QTreeWidget;

namespace plovex {

class AlarmHistoryDialog final : public QDialog {
public:
    // history: what to show, asked for again at each refresh.
    AlarmHistoryDialog(std::function<const std::vector<AlarmHistoryEntry>&()> history, QWidget* parent = nullptr);

    // Shows the history as it is now.
    void refresh();

private:
    void save();

    std::function<const std::vector<AlarmHistoryEntry>&()> history_;
    QTreeWidget* list_ = nullptr;
    std::size_t shown_ = 0; // entries in the list
};

} // namespace plovex
