#include "app/actions/ReadingTools.h"

#include "app/windows/CaptureListPanel.h"
#include "app/windows/MainWindow.h"
#include "app/windows/PrefsWindow.h"
#include "controller/plovexController.h"
#include "link/BoardFacts.h"
#include "link/Measurement.h"
#include "link/Records.h"

#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <cmath>

namespace plovex {

namespace {

// The light's two looks, on the dark plate the link state also has.
void showLight(QLabel* light, bool on)
{
    QPalette p = light->palette();
    p.setColor(QPalette::Window, on ? QColor(0x1e, 0x7a, 0x1e) : QColor(0x26, 0x26, 0x26));
    p.setColor(QPalette::WindowText, on ? QColor(0xff, 0xff, 0xff) : QColor(0x70, 0x70, 0x70));
    light->setPalette(p);
}

QString secondsText(double s)
{
    return QString::number(s, 'g', 4) + QStringLiteral(" s");
}

} // namespace

ReadingTools::ReadingTools(MainWindow& window, PrefsWindow& prefsWindow, QMenu& menu, plovexController& controller,
                           platform::NotificationCenter& center, platform::Preferences& prefs)
    : window_(window), controller_(controller), center_(center), prefs_(prefs),
      watch_(stats::StabilitySettings{}, plovexController::kSilenceLimit)
{
    auto* row = new QWidget(&window_);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    light_ = new QLabel(QStringLiteral("stable"), row);
    light_->setObjectName(QStringLiteral("stableLight"));
    light_->setAutoFillBackground(true);
    light_->setAlignment(Qt::AlignCenter);
    light_->setMargin(4);
    light_->setTextFormat(Qt::PlainText);
    QFont bold = light_->font();
    bold.setBold(true);
    light_->setFont(bold);
    showLight(light_, false);
    captureButton_ = new QPushButton(QStringLiteral("Capture"), row);
    captureButton_->setObjectName(QStringLiteral("captureButton"));
    captureButton_->setToolTip(QStringLiteral("Average the next seconds of measurements into the list (Space)"));
    h->addWidget(light_);
    h->addWidget(captureButton_);
    h->addStretch(1);
    window_.addInstrument(row);

    // The list is a pane of the work area, between the chart and the table,
    // out of the way until the first capture.
    pane_ = new QGroupBox(QStringLiteral("Captured readings"), &window_);
    pane_->setObjectName(QStringLiteral("capturePane"));
    auto* box = new QVBoxLayout(pane_);
    box->setContentsMargins(4, 4, 4, 4);
    list_ = new CaptureListPanel(pane_);
    box->addWidget(list_);
    window_.addWorkPane(pane_, 1);
    pane_->hide();

    menu.addSeparator();
    captureAction_ = menu.addAction(QStringLiteral("Capture"));
    captureAction_->setShortcut(QKeySequence(Qt::Key_Space));
    showList_ = menu.addAction(QStringLiteral("Captured Readings"));
    showList_->setCheckable(true);
    connect(showList_, &QAction::toggled, pane_, &QWidget::setVisible);
    connect(captureAction_, &QAction::triggered, this, &ReadingTools::captureOrCancel);
    connect(captureButton_, &QPushButton::clicked, this, &ReadingTools::captureOrCancel);

    prefsWindow.addSection(makeSettings());
    readSettings();

    observer_ = center_.addObserver(records::kInclinoData,
                                    [this](const platform::Notification& n) { measurementArrived(n); });
    connect(&timer_, &QTimer::timeout, this, [this] { tick(record::WallClock::now()); });
    timer_.start(250);
}

ReadingTools::~ReadingTools()
{
    center_.removeObserver(observer_);
}

QWidget* ReadingTools::makeSettings()
{
    auto* box = new QGroupBox(QStringLiteral("Stability and capture"));
    auto* form = new QFormLayout(box);
    const auto spin = [box](double lo, double hi, int decimals, const QString& suffix) {
        auto* s = new QDoubleSpinBox(box);
        s->setRange(lo, hi);
        s->setDecimals(decimals);
        s->setSuffix(suffix);
        return s;
    };
    stableSeconds_ = spin(0.5, 600.0, 1, QStringLiteral(" s"));
    stableSeconds_->setObjectName(QStringLiteral("stableSeconds"));
    stableSpread_ = spin(0.0001, 10.0, 4, QStringLiteral("°"));
    stableSpread_->setObjectName(QStringLiteral("stableSpread"));
    stableSpread_->setSingleStep(0.01);
    captureSeconds_ = spin(0.1, 3600.0, 1, QStringLiteral(" s"));
    captureSeconds_->setObjectName(QStringLiteral("captureSeconds"));
    waitStable_ = new QCheckBox(QStringLiteral("Wait until stable first (up to 60 s)"), box);
    form->addRow(QStringLiteral("Stable when the spread over"), stableSeconds_);
    form->addRow(QStringLiteral("of each angle is below"), stableSpread_);
    form->addRow(QStringLiteral("Capture averages"), captureSeconds_);
    form->addRow(waitStable_);
    for (QDoubleSpinBox* s : {stableSeconds_, stableSpread_, captureSeconds_})
        connect(s, &QDoubleSpinBox::editingFinished, this, &ReadingTools::storeSettings);
    connect(waitStable_, &QCheckBox::toggled, this, &ReadingTools::storeSettings);
    return box;
}

void ReadingTools::readSettings()
{
    const auto settings = stats::StabilitySettings::fromText(prefs_.objectForKey(board::kPrefStableSeconds),
                                                             prefs_.objectForKey(board::kPrefStableSpread));
    watch_.setSettings(settings);
    stableSeconds_->setValue(settings.seconds);
    stableSpread_->setValue(settings.spreadDegrees);
    double seconds = 5.0;
    if (const auto text = prefs_.objectForKey(board::kPrefCaptureSeconds)) {
        try {
            if (const double v = std::stod(*text); std::isfinite(v) && v > 0)
                seconds = v;
        } catch (const std::exception&) {
            // Not a number: the default stands.
        }
    }
    const QSignalBlocker blockWait(waitStable_);
    captureSeconds_->setValue(seconds);
    waitStable_->setChecked(prefs_.objectForKey(board::kPrefCaptureWaitStable).value_or("0") == "1");
}

void ReadingTools::storeSettings()
{
    const stats::StabilitySettings settings{stableSeconds_->value(), stableSpread_->value()};
    if (!(settings == watch_.settings()))
        watch_.setSettings(settings); // the light starts afresh with the new span
    prefs_.setObject(std::to_string(settings.seconds), board::kPrefStableSeconds);
    prefs_.setObject(std::to_string(settings.spreadDegrees), board::kPrefStableSpread);
    prefs_.setObject(std::to_string(captureSeconds_->value()), board::kPrefCaptureSeconds);
    prefs_.setObject(waitStable_->isChecked() ? "1" : "0", board::kPrefCaptureWaitStable);
    prefs_.synchronize();
}

void ReadingTools::measurementArrived(const platform::Notification& n)
{
    const auto m = n.object ? measurementOf(*n.object) : std::nullopt;
    if (!m)
        return;
    if (m->linkUp)
        watch_.add(m->time, m->xDegrees(), m->yDegrees());
    else
        watch_.breakOff();
    if (capture_) {
        capture_->add(*m);
        if (capture_->finished())
            finishCapture();
    }
}

void ReadingTools::tick(record::WallClock::time_point now)
{
    const stats::StabilityReading reading = watch_.at(now);
    showLight(light_, reading.stable);
    light_->setToolTip(QString::fromStdString(stats::describe(reading, watch_.settings())));
    list_->model().setUnit(controller_.tiltReference().unit());
    if (!capture_)
        return;
    capture_->tick(now);
    if (capture_->finished())
        finishCapture();
    else if (capture_->state() == record::Capture::State::WaitingForStable)
        list_->setStatus(QStringLiteral("Waiting until stable: ") +
                         QString::fromStdString(stats::describe(capture_->stability(), watch_.settings())));
}

void ReadingTools::captureOrCancel()
{
    if (capture_) {
        capture_.reset();
        captureButton_->setText(QStringLiteral("Capture"));
        list_->setStatus(QStringLiteral("Capture cancelled"));
        return;
    }
    record::CaptureSettings settings;
    settings.seconds = std::chrono::duration<double>(captureSeconds_->value());
    settings.waitStable = waitStable_->isChecked();
    settings.stability = watch_.settings();
    settings.gap = plovexController::kSilenceLimit;
    // As the readouts show the tilt: less the zero, in the unit.
    const TiltReference& ref = controller_.tiltReference();
    settings.unit = ref.unit();
    if (const auto z = ref.zero(Axis::X))
        settings.zeroX = *z;
    if (const auto z = ref.zero(Axis::Y))
        settings.zeroY = *z;
    capture_.emplace(settings, record::WallClock::now());
    captureButton_->setText(QStringLiteral("Cancel capture"));
    list_->setStatus(settings.waitStable ? QStringLiteral("Waiting until stable…")
                                         : QStringLiteral("Capturing ") + secondsText(captureSeconds_->value()) +
                                               QStringLiteral("…"));
    showList_->setChecked(true);
}

void ReadingTools::finishCapture()
{
    if (capture_->state() == record::Capture::State::Done) {
        const record::CapturedReading& r = capture_->reading();
        list_->setStatus(QStringLiteral("Captured %1 measurements over %2")
                             .arg(r.count)
                             .arg(secondsText(r.length.count())));
        list_->model().add(r);
        list_->table()->scrollToBottom();
    } else {
        list_->setStatus(QStringLiteral("No reading: ") + QString::fromStdString(capture_->failure()));
    }
    capture_.reset();
    captureButton_->setText(QStringLiteral("Capture"));
}

} // namespace plovex
