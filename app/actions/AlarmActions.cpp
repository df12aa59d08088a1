#include "app/actions/AlarmActions.h"

#include "app/actions/MeasureTools.h"
#include "app/windows/AlarmHistoryDialog.h"
#include "app/windows/AlarmsDialog.h"
#include "app/windows/MainWindow.h"
#include "controller/plovexController.h"
#include "gauge/plovexGaugeView.h"
#include "platform/Log.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

namespace plovex {

namespace {

const QColor kAlarmRed(0xd0, 0x10, 0x10);

// The label's text in the alarm's red, or in the window's own colour.
void paintRed(QLabel* label, bool red)
{
    QPalette p = label->palette();
    const QColor ink = red ? kAlarmRed : label->window()->palette().color(QPalette::WindowText);
    if (p.color(QPalette::Active, QPalette::WindowText) == ink)
        return;
    p.setColor(QPalette::Active, QPalette::WindowText, ink);
    p.setColor(QPalette::Inactive, QPalette::WindowText, ink);
    label->setPalette(p);
}

} // namespace

AlarmActions::AlarmActions(MainWindow& window, MeasureTools& tools, plovexController& controller,
                           platform::Preferences& prefs, Notify notify)
    : window_(window), tools_(tools), controller_(controller), prefs_(prefs), notify_(std::move(notify))
{
    banner_ = new QLabel(&window_);
    banner_->setObjectName(QStringLiteral("alarmBanner"));
    banner_->setTextFormat(Qt::PlainText);
    banner_->setAlignment(Qt::AlignCenter);
    banner_->setAutoFillBackground(true);
    banner_->setMargin(6);
    QFont bold = banner_->font();
    bold.setBold(true);
    banner_->setFont(bold);
    QPalette p = banner_->palette();
    p.setColor(QPalette::Window, kAlarmRed);
    p.setColor(QPalette::WindowText, Qt::white);
    banner_->setPalette(p);
    banner_->hide();
    window_.addBanner(banner_);

    QMenu* menu = tools.measureMenu();
    menu->addSeparator();
    alarmsAction_ = menu->addAction(QStringLiteral("Alarms…"));
    historyAction_ = menu->addAction(QStringLiteral("Alarm History…"));
    connect(alarmsAction_, &QAction::triggered, this, [this] {
        AlarmsDialog dialog(setup_, &window_);
        if (dialog.exec() == QDialog::Accepted)
            apply(dialog.setup());
    });
    connect(historyAction_, &QAction::triggered, this, [this] {
        if (!history_)
            history_ = new AlarmHistoryDialog([this]() -> const std::vector<AlarmHistoryEntry>& { return alarms_.history(); },
                                              &window_);
        history_->refresh();
        history_->show();
        history_->raise();
    });

    std::string problem;
    setup_ = loadAlarmSetup(prefs_, &problem);
    if (!problem.empty())
        platform::logEntry(problem);
    alarms_.setRules(setup_.rules);
    show();

    // Every measurement the window shows, before the recording takes it.
    tools.setAlarmWatch([this](const Measurement& m) {
        changed(alarms_.add(m, controller_.tiltReference()));
        return alarms_.activeText();
    });
    tools.recording().setAlarmsColumn([this] { return !alarms_.rules().empty(); });
    connect(&tick_, &QTimer::timeout, this, [this] { changed(alarms_.tick(platform::RecordClock::now())); });
    tick_.start(250);
}

AlarmActions::~AlarmActions()
{
    tools_.setAlarmWatch(nullptr);
    tools_.recording().setAlarmsColumn(nullptr);
}

void AlarmActions::apply(const AlarmSetup& setup)
{
    setup_ = setup;
    saveAlarmSetup(prefs_, setup_);
    alarms_.setRules(setup_.rules);
    show();
}

void AlarmActions::changed(const std::vector<alarm::AlarmEvent>& events)
{
    if (events.empty())
        return;
    if (notify_ && !window_.isActiveWindow())
        for (const auto& e : events) {
            const AlarmMessage m = alarms_.message(e);
            notify_(m.summary, m.body);
        }
    show();
    if (history_ && history_->isVisible())
        history_->refresh();
}

void AlarmActions::show()
{
    const std::string text = alarms_.bannerText();
    banner_->setText(QString::fromStdString(text));
    banner_->setVisible(!text.empty());
    const AlarmReadouts red = alarms_.redReadouts();
    paintRed(window_.xReadout(), red.x);
    paintRed(window_.yReadout(), red.y);
    paintRed(window_.temperature(), red.temperature);
    window_.xGauge()->setLimitMarks(alarms_.limitAngles(Axis::X));
    window_.yGauge()->setLimitMarks(alarms_.limitAngles(Axis::Y));
}

} // namespace plovex
