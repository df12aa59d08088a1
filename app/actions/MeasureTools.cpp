#include "app/actions/MeasureTools.h"

#include "app/runtime/DisplayPass.h"
#include "app/windows/MainWindow.h"
#include "app/outlets/QtOutlets.h"
#include "chart/HistoryChart.h"
#include "controller/plovexController.h"
#include "link/Measurement.h"
#include "link/Records.h"
#include "platform/Preferences.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSizePolicy>
#include <QToolTip>
#include <QVBoxLayout>

namespace plovex {

namespace {

// The chart's span (the index of "10 s", "1 min", "10 min") and its scale
// ("auto", or the half range of a fixed one in the shown unit).
constexpr const char* kPrefChartSpan = "chartSpan";
constexpr const char* kPrefChartRange = "chartRange";

const char* const kUnitTitles[] = {"Degrees", "Milliradians", "Percent grade", "mm/m"};

// A label whose text may grow (a zero said, a recording's file) takes the
// room the row has rather than widening the window; the whole text is its tooltip.
void takesTheRoomThereIs(QLabel* label)
{
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setMinimumWidth(0);
}

QString symbol(board::TiltUnit u)
{
    return QString::fromUtf8(board::tiltUnitSymbol(u).data(), static_cast<int>(board::tiltUnitSymbol(u).size()));
}

} // namespace

MeasureTools::MeasureTools(MainWindow& window, plovexController& controller, platform::NotificationCenter& center,
                           DisplayPass& pass, FloatReadout& xReadout, FloatReadout& yReadout)
    : window_(window), controller_(controller), center_(center), pass_(pass), xReadout_(xReadout),
      yReadout_(yReadout)
{
    degreeReadoutWidth_ = window_.xReadout()->width();
    window_.addWorkPane(makePanel(), 2); // the chart takes twice the table's share of more room
    makeMenu();
    recording_ = std::make_unique<RecordingControl>(&window_, recordButton_, record_, recordStatus_,
                                                    [this] { return controller_.tiltReference().unit(); });
    for (QLabel* readout : {window_.xReadout(), window_.yReadout()})
        readout->installEventFilter(this);
    observer_ = center_.addObserver(records::kInclinoData,
                                    [this](const platform::Notification& n) { measurementArrived(n); });
    showReference();
}

MeasureTools::~MeasureTools()
{
    center_.removeObserver(observer_);
}

QWidget* MeasureTools::makePanel()
{
    auto* panel = new QWidget(&window_);
    auto* v = new QVBoxLayout(panel);
    v->setContentsMargins(0, 0, 0, 0);

    auto* zeroRow = new QHBoxLayout;
    const char* const zeroTitles[] = {"Zero X", "Zero Y", "Zero both", "Clear zero"};
    for (int i = 0; i < 4; ++i) {
        zeroButtons_[i] = new QPushButton(QString::fromUtf8(zeroTitles[i]), panel);
        zeroRow->addWidget(zeroButtons_[i]);
    }
    connect(zeroButtons_[0], &QPushButton::clicked, this, [this] { zero(true, false); });
    connect(zeroButtons_[1], &QPushButton::clicked, this, [this] { zero(false, true); });
    connect(zeroButtons_[2], &QPushButton::clicked, this, [this] { zero(true, true); });
    connect(zeroButtons_[3], &QPushButton::clicked, this, [this] {
        controller_.clearZero();
        showReference();
    });
    zeroLabel_ = new QLabel(panel);
    zeroLabel_->setObjectName(QStringLiteral("zeroNote"));
    zeroLabel_->setTextFormat(Qt::PlainText);
    takesTheRoomThereIs(zeroLabel_);
    zeroRow->addWidget(zeroLabel_, 1);
    zeroRow->addWidget(new QLabel(QStringLiteral("Units"), panel));
    units_ = new QComboBox(panel);
    for (const char* title : kUnitTitles)
        units_->addItem(QString::fromUtf8(title));
    connect(units_, &QComboBox::activated, this, &MeasureTools::chooseUnit);
    zeroRow->addWidget(units_);
    v->addLayout(zeroRow);

    // A board silent this long shows as "NO Comms", and its line breaks there.
    chart_ = new chart::HistoryChart(std::chrono::duration<double>(plovexController::kSilenceLimit).count(), panel);
    chart_->setObjectName(QStringLiteral("historyChart"));
    v->addWidget(chart_, 1);

    auto* chartRow = new QHBoxLayout;
    span_ = new QComboBox(panel);
    span_->setObjectName(QStringLiteral("chartSpan"));
    span_->addItems({QStringLiteral("10 s"), QStringLiteral("1 min"), QStringLiteral("10 min")});
    span_->setCurrentIndex(static_cast<int>(chart_->span()));
    connect(span_, &QComboBox::activated, this,
            [this](int i) { chart_->setSpan(static_cast<chart::HistoryChart::Span>(i)); });
    autoScale_ = new QCheckBox(QStringLiteral("Auto scale"), panel);
    autoScale_->setObjectName(QStringLiteral("chartAutoScale"));
    autoScale_->setChecked(true);
    range_ = new QDoubleSpinBox(panel);
    range_->setObjectName(QStringLiteral("chartRange"));
    range_->setPrefix(QStringLiteral("± "));
    range_->setRange(0.01, 100000.0);
    range_->setValue(10.0);
    range_->setEnabled(false);
    connect(autoScale_, &QCheckBox::toggled, this, &MeasureTools::applyScale);
    connect(range_, &QDoubleSpinBox::valueChanged, this, &MeasureTools::applyScale);
    pause_ = new QPushButton(QStringLiteral("Pause"), panel);
    pause_->setObjectName(QStringLiteral("chartPause"));
    pause_->setCheckable(true);
    connect(pause_, &QPushButton::toggled, this, [this](bool on) {
        chart_->setPaused(on);
        pause_->setText(on ? QStringLiteral("Live") : QStringLiteral("Pause"));
        pause_->setToolTip(on ? QStringLiteral("Back to the live chart (Ctrl+P)")
                              : QStringLiteral("Hold the chart as it is (Ctrl+P)"));
        if (pauseAction_)
            pauseAction_->setChecked(on);
    });
    recordButton_ = new QPushButton(panel);
    recordButton_->setObjectName(QStringLiteral("recordButton"));
    recordStatus_ = new QLabel(panel);
    recordStatus_->setObjectName(QStringLiteral("recordStatus"));
    takesTheRoomThereIs(recordStatus_);
    chartRow->addWidget(new QLabel(QStringLiteral("Span"), panel));
    chartRow->addWidget(span_);
    chartRow->addWidget(autoScale_);
    chartRow->addWidget(range_);
    chartRow->addWidget(pause_);
    chartRow->addSpacing(16);
    chartRow->addWidget(recordButton_);
    chartRow->addWidget(recordStatus_, 1);
    v->addLayout(chartRow);
    return panel;
}

void MeasureTools::addInChartsPlace(QWidget* w)
{
    auto* column = static_cast<QBoxLayout*>(chart_->parentWidget()->layout());
    w->setParent(chart_->parentWidget());
    w->hide();
    column->insertWidget(column->indexOf(chart_) + 1, w, 1);
}

void MeasureTools::applyScale()
{
    range_->setEnabled(!autoScale_->isChecked());
    chart_->setFixedRange(autoScale_->isChecked() ? std::nullopt : std::optional<double>(range_->value()));
}

void MeasureTools::rememberChart(platform::Preferences& prefs) const
{
    prefs.setObject(std::to_string(span_->currentIndex()), kPrefChartSpan);
    prefs.setObject(autoScale_->isChecked() ? std::string("auto") : QString::number(range_->value()).toStdString(),
                    kPrefChartRange);
}

void MeasureTools::recallChart(const platform::Preferences& prefs)
{
    bool ok = false;
    if (const auto span = prefs.objectForKey(kPrefChartSpan)) {
        const int index = QString::fromStdString(*span).toInt(&ok);
        if (ok && index >= 0 && index < span_->count()) {
            span_->setCurrentIndex(index);
            chart_->setSpan(static_cast<chart::HistoryChart::Span>(index));
        }
    }
    if (const auto range = prefs.objectForKey(kPrefChartRange)) {
        const double half = QString::fromStdString(*range).toDouble(&ok);
        if (*range == "auto") {
            autoScale_->setChecked(true);
        } else if (ok && half >= range_->minimum() && half <= range_->maximum()) {
            range_->setValue(half);
            autoScale_->setChecked(false);
        }
        applyScale();
    }
}

void MeasureTools::makeMenu()
{
    QMenuBar* bar = window_.menuBar();
    auto* menu = menu_ = new QMenu(QStringLiteral("&Measure"), bar);
    // Before Help, which stays last.
    const auto actions = bar->actions();
    bar->insertMenu(actions.isEmpty() ? nullptr : actions.last(), menu);

    record_ = menu->addAction(QStringLiteral("&Record…"));
    record_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    connect(record_, &QAction::triggered, this, [this] { recording_->toggle(); });
    connect(recordButton_, &QPushButton::clicked, this, [this] { recording_->toggle(); });
    pauseAction_ = menu->addAction(QStringLiteral("&Pause Chart"));
    pauseAction_->setObjectName(QStringLiteral("pauseAction"));
    pauseAction_->setCheckable(true);
    pauseAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(pauseAction_, &QAction::toggled, pause_, &QPushButton::setChecked);
    menu->addSeparator();
    // Ctrl+1, Ctrl+2: the axis; Ctrl+0 both; Ctrl+Shift+0 none.
    const char* const titles[] = {"Zero &X", "Zero &Y", "Zero &Both", "&Clear Zero"};
    const QKeySequence keys[] = {QKeySequence(Qt::CTRL | Qt::Key_1), QKeySequence(Qt::CTRL | Qt::Key_2),
                                 QKeySequence(Qt::CTRL | Qt::Key_0), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_0)};
    for (int i = 0; i < 4; ++i) {
        zeroActions_[i] = menu->addAction(QString::fromUtf8(titles[i]));
        zeroActions_[i]->setShortcut(keys[i]);
        zeroButtons_[i]->setToolTip(keys[i].toString(QKeySequence::NativeText));
        connect(zeroActions_[i], &QAction::triggered, zeroButtons_[i], &QPushButton::click);
    }
    QMenu* units = menu->addMenu(QStringLiteral("&Units"));
    unitActions_ = new QActionGroup(menu);
    const char* const unitTitles[] = {"&Degrees", "&Milliradians", "&Percent Grade", "mm/&m"};
    for (int i = 0; i < 4; ++i) {
        QAction* a = units->addAction(QString::fromUtf8(unitTitles[i]));
        a->setCheckable(true);
        unitActions_->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { chooseUnit(i); });
    }
}

void MeasureTools::zero(bool x, bool y)
{
    if (!controller_.zeroAxes(x, y))
        zeroLabel_->setText(QStringLiteral("No measurement yet to zero on"));
    else
        showReference();
}

void MeasureTools::chooseUnit(int index)
{
    controller_.setTiltUnit(board::kTiltUnits[index]);
    showReference();
}

void MeasureTools::showReference()
{
    const TiltReference& ref = controller_.tiltReference();
    const board::TiltUnit unit = ref.unit();
    const int index = static_cast<int>(unit);
    units_->setCurrentIndex(index);
    unitActions_->actions().at(index)->setChecked(true);

    // Degrees keep the window's own readout width; the other units need room
    // for more digits and a longer symbol.
    for (QLabel* readout : {window_.xReadout(), window_.yReadout()}) {
        const int width = unit == board::TiltUnit::Degrees
                              ? degreeReadoutWidth_
                              : readout->fontMetrics().horizontalAdvance(QStringLiteral("-88888.8") + symbol(unit)) + 8;
        if (readout->width() != width)
            readout->setFixedWidth(width);
    }
    xReadout_.setFormat(board::tiltUnitDecimals(unit), symbol(unit));
    yReadout_.setFormat(board::tiltUnitDecimals(unit), symbol(unit));

    QStringList zeros;
    for (const Axis axis : {Axis::X, Axis::Y})
        if (const std::string text = ref.describeZero(axis); !text.empty())
            zeros << QString::fromStdString(text);
    zeroLabel_->setText(zeros.join(QStringLiteral(", ")));

    chart_->setPresentation(
        [this](int axis, float degrees) {
            return static_cast<double>(controller_.tiltReference().shown(axis == 0 ? Axis::X : Axis::Y, degrees));
        },
        symbol(unit), board::tiltUnitDecimals(unit));
}

QString MeasureTools::measuredText(QWidget* readout) const
{
    // The angle as measured, before any zero, in degrees.
    const Axis axis = readout == window_.xReadout() ? Axis::X : Axis::Y;
    const float measured = controller_.measuredAngle(axis);
    return QStringLiteral("Measured %1 (no zero)").arg(FloatReadout::format(measured, 2, QStringLiteral("°")));
}

bool MeasureTools::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip && controller_.hasMeasurement()) {
        auto* readout = static_cast<QWidget*>(watched);
        tipAt_ = static_cast<QHelpEvent*>(event)->globalPos();
        tipFor_ = readout;
        QToolTip::showText(tipAt_, measuredText(readout), readout);
        return true;
    }
    return QObject::eventFilter(watched, event);
}

void MeasureTools::updateTip()
{
    // A tooltip on a readout shows the angle as it is now, not as it was when it opened.
    if (!tipFor_ || !QToolTip::isVisible()) {
        tipFor_ = nullptr;
        return;
    }
    const QString text = measuredText(tipFor_);
    if (QToolTip::text() != text)
        QToolTip::showText(tipAt_, text, tipFor_);
}

void MeasureTools::measurementArrived(const platform::Notification& n)
{
    const auto m = n.object ? measurementOf(*n.object) : std::nullopt;
    if (!m)
        return;
    recording_->add(*m, alarmWatch_ ? alarmWatch_(*m) : std::nullopt);
    // Another port's history starts afresh; what the board before it
    // measured and is still delivered has no place in it.
    if (controller_.portChangedAt() != historyFrom_) {
        historyFrom_ = controller_.portChangedAt();
        chart_->restart();
    }
    if (m->time < historyFrom_)
        return;
    const double t = std::chrono::duration<double>(m->time.time_since_epoch()).count();
    if (chart_->add(t, static_cast<float>(m->xDegrees()), static_cast<float>(m->yDegrees()), m->linkUp))
        pass_.defer(chart_, [c = chart_] { c->update(); });
    if (tipFor_)
        pass_.defer(this, [this] { updateTip(); });
}

} // namespace plovex
