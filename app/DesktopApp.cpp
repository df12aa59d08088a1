#include "app/DesktopApp.h"

#include "app/windows/AboutBox.h"
#include "discovery/SerialRegistry.h"
#include "link/BoardFacts.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"
#include "platform/Preferences.h"

#include <QAction>
#include <QApplication>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>

#include <chrono>

namespace plovex {

DesktopApp::DesktopApp(DesktopConfig config)
    : config_(std::move(config)),
      queue_(config_.queue ? config_.queue : &platform::NotificationQueue::defaultQueue())
{
    // Records are handed over through this from the moment the commPort exists.
    platform::setDefaultMainThread(&mainThread_);
    delivery_ = std::make_unique<IdleDelivery>(*queue_);

    main_ = std::make_unique<MainWindow>();
    prefsWindow_ = std::make_unique<PrefsWindow>();

    // Gauges and readouts are shown in one display pass: needle and number
    // agree on screen, and nothing is drawn while the window is out of sight.
    displayPass_.watch(main_.get());
    displayPass_.onSightChanged(
        [this](bool inSight) { handOver_.setGather(inSight ? kInSightGather : kOutOfSightGather); });
    DisplayPass* dp = &displayPass_;
    temperature_ = std::make_unique<FloatReadout>(main_->temperature(), 1, QStringLiteral(" °C"), dp);
    xValue_ = std::make_unique<FloatReadout>(main_->xReadout(), 2, QStringLiteral("°"), dp);
    yValue_ = std::make_unique<FloatReadout>(main_->yReadout(), 2, QStringLiteral("°"), dp);
    xGauge_ = std::make_unique<GaugeField>(main_->xGauge(), dp);
    yGauge_ = std::make_unique<GaugeField>(main_->yGauge(), dp);
    table_ = std::make_unique<TableViewField>(main_->parameterTable(), main_->parameterModel());
    description_ = std::make_unique<LineEditField>(main_->descriptionField());
    number_ = std::make_unique<LineEditField>(main_->numberField());
    value_ = std::make_unique<LineEditField>(main_->valueField());
    commState_ = std::make_unique<LabelField>(main_->commState());
    ports_ = std::make_unique<PopUpMenu>(prefsWindow_->portMenu());
    prefsOutlet_ = std::make_unique<WindowField>(prefsWindow_.get());
    alert_ = std::make_unique<QtAlert>(main_.get(), *queue_);
    auto* status = new QLabel(main_->statusBar());
    status->setObjectName(QStringLiteral("statusLine"));
    main_->statusBar()->addWidget(status, 1);
    statusLine_ = std::make_unique<LabelField>(status);
    // Nothing has been measured yet: no number pretends otherwise.
    temperature_->setNoValue();
    xValue_->setNoValue();
    yValue_->setNoValue();

    platform::Preferences& stored =
        config_.storedPrefs ? *config_.storedPrefs : platform::FilePreferences::standardUserDefaults();
    prefs_ = std::make_unique<SessionPreferences>(stored);
    if (config_.sessionPortPath)
        prefs_->overlay(board::kPrefSerialPortPath, *config_.sessionPortPath);
    if (config_.sessionPortName)
        prefs_->overlay(board::kPrefSerialPortName, *config_.sessionPortName);
    if (config_.sessionTiltUnit)
        prefs_->overlay(board::kPrefTiltUnit, *config_.sessionTiltUnit);

    ControllerOutlets outlets;
    outlets.Temperature = temperature_.get();
    outlets.Xgauge = xGauge_.get();
    outlets.XvalueItem = xValue_.get();
    outlets.Ygauge = yGauge_.get();
    outlets.YvalueItem = yValue_.get();
    outlets.parameterTable = table_.get();
    outlets.selectedParameterDescription = description_.get();
    outlets.selectedParameterNumber = number_.get();
    outlets.valueToWrite = value_.get();
    outlets.commStateItem = commState_.get();
    outlets.serialPortMenu = ports_.get();
    outlets.prefsWindow = prefsOutlet_.get();
    outlets.alert = config_.alert ? config_.alert : alert_.get();
    outlets.statusLine = statusLine_.get();
    outlets.portProblem = &main_->healthStrip()->problemOutlet();
    outlets.writeGate = main_->writeRow();

    ControllerEnvironment env;
    env.prefs = prefs_.get();
    env.center = config_.center ? config_.center : &platform::NotificationCenter::defaultCenter();
    env.discoveryRoots = config_.discoveryRoots;
    env.idleSleeper = config_.idleSleeper;
    env.clock = config_.clock;
    env.makePort = [this] {
        commPortOptions options;
        options.sink = &handOver_;
        options.sleeper = config_.portSleeper;
        options.lineTimeoutDeciseconds = config_.lineTimeoutDeciseconds;
        return std::make_unique<commPort>(options);
    };
    controller_ = std::make_unique<plovexController>(outlets, std::move(env));
    measure_ = std::make_unique<MeasureTools>(*main_, *controller_,
                                              config_.center ? *config_.center
                                                             : platform::NotificationCenter::defaultCenter(),
                                              displayPass_, *xValue_, *yValue_);
    reading_ = std::make_unique<ReadingTools>(*main_, *prefsWindow_, *measure_->measureMenu(), *controller_,
                                              config_.center ? *config_.center
                                                             : platform::NotificationCenter::defaultCenter(),
                                              *prefs_);
    review_ = std::make_unique<FileReview>(*main_, *measure_, *controller_,
                                           LiveFields{xValue_.get(), yValue_.get(), temperature_.get(), xGauge_.get(),
                                                      yGauge_.get()});

    alarms_ = std::make_unique<AlarmActions>(
        *main_, *measure_, *controller_, *prefs_,
        config_.notify ? config_.notify
                       : AlarmActions::Notify([this](const std::string& summary, const std::string& body) {
                             notifier_.notify(summary, body);
                         }));

    main_->parameterModel()->setDataSource({
        [this] { return controller_->numberOfRowsInTableView(); },
        [this](const std::string& id, int row) { return controller_->objectValueForTableColumn(id, row); },
        [this](int row) { return controller_->parameterState(row); },
        [this](int row) { return controller_->parameterNote(row); },
    });
    parameterFiles_ = std::make_unique<ParameterFileActions>(
        main_.get(), main_->fileMenu(), main_->preferencesAction(), [this] { return controller_->port(); },
        outlets.alert);
    connectActions();
}

DesktopApp::~DesktopApp()
{
    // Nothing in the windows may reach the controller once it is gone: the
    // table asks for cells and the buttons send actions while they close.
    linkTimer_.stop();
    portsTimer_.stop();
    main_->parameterModel()->setDataSource({});
    QObject::disconnect(main_->writeButton(), nullptr, main_.get(), nullptr);
    QObject::disconnect(prefsWindow_->applyButton(), nullptr, prefsWindow_.get(), nullptr);
    QObject::disconnect(main_->parameterTable()->selectionModel(), nullptr, main_.get(), nullptr);
    // The layout is stored while every pane is still in the window. A
    // recording's file is closed (what is queued written) and the parameter
    // files' reads and writes through the controller's link are done before
    // the controller goes. The controller owns the commPort: its thread stops
    // here, before the hand-over it posts to is gone.
    storeLayout();
    alarms_.reset();
    review_.reset();
    reading_.reset();
    measure_.reset();
    parameterFiles_.reset();
    controller_.reset();
    platform::setDefaultMainThread(nullptr);
}

void DesktopApp::connectActions()
{
    QObject::connect(main_->writeButton(), &QPushButton::clicked, main_.get(),
                     [this] { controller_->writeParameter(); });
    QObject::connect(prefsWindow_->applyButton(), &QPushButton::clicked, prefsWindow_.get(),
                     [this] { controller_->applyPrefsAction(); });
    QObject::connect(main_->parameterTable()->selectionModel(), &QItemSelectionModel::selectionChanged, main_.get(),
                     [this] { controller_->tableViewSelectionDidChange(table_.get()); });
    QObject::connect(main_->preferencesAction(), &QAction::triggered, main_.get(), [this] {
        controller_->refreshPortMenu();
        prefsOutlet_->makeKeyAndOrderFront();
    });
    QObject::connect(&linkTimer_, &QTimer::timeout, main_.get(), [this] { showLinkHealth(); });
    QObject::connect(&portsTimer_, &QTimer::timeout, prefsWindow_.get(), [this] {
        if (prefsWindow_->isVisible())
            controller_->refreshPortMenu();
    });
    QObject::connect(main_->quitAction(), &QAction::triggered, main_.get(), [] { QApplication::quit(); });
    QObject::connect(main_->aboutAction(), &QAction::triggered, main_.get(), [this] {
        const commPort* port = controller_->port();
        showAbout(main_.get(), port ? port->commPortPath() : std::string());
    });
}

void DesktopApp::start()
{
    if (started_)
        return;
    started_ = true;
    controller_->awakeFromNib();
    measure_->showReference(); // the zero and unit read from the preferences
    restoreLayout();
    main_->show();
    controller_->applicationDidFinishLaunching();
    showLinkHealth();
    linkTimer_.start(250);
    portsTimer_.start(500);
}

namespace {

// The window's place and size, and how its splitters divide it, as Qt saves
// them, in base64.
constexpr const char* kPrefWindowGeometry = "windowGeometry";
constexpr const char* kPrefWindowSplitters = "windowSplitters";

QByteArray storedBytes(const platform::Preferences& prefs, const char* key)
{
    const auto text = prefs.objectForKey(key);
    return text ? QByteArray::fromBase64(QByteArray::fromStdString(*text)) : QByteArray();
}

} // namespace

void DesktopApp::restoreLayout()
{
    main_->fitToContents(storedBytes(*prefs_, kPrefWindowGeometry));
    if (const QByteArray splitters = storedBytes(*prefs_, kPrefWindowSplitters); !splitters.isEmpty())
        main_->restoreSplitterState(splitters);
    measure_->recallChart(*prefs_);
}

void DesktopApp::storeLayout()
{
    if (!started_)
        return;
    prefs_->setObject(main_->saveGeometry().toBase64().toStdString(), kPrefWindowGeometry);
    prefs_->setObject(main_->splitterState().toBase64().toStdString(), kPrefWindowSplitters);
    measure_->rememberChart(*prefs_);
    prefs_->synchronize(); // says so itself when the file cannot be written
}

std::string portTitle(const std::string& path, const std::string& name, const DiscoveryRoots& roots)
{
    // The simulators' links live in the runtime folder under the name the
    // preferences list them by; where that folder is says nothing to a user.
    const std::filesystem::path p(path);
    if (p.has_parent_path() && p.parent_path().lexically_normal() == roots.simulators.lexically_normal())
        return (name.empty() ? p.filename().string() : name) + " (simulated)";
    return path;
}

void DesktopApp::showLinkHealth()
{
    controller_->linkTick();
    const commPort* port = controller_->port();
    if (!port)
        return;
    // The stable name is looked up again only when the path changes.
    const auto now = std::chrono::steady_clock::now();
    if (const std::string path = port->commPortPath(); path != portPath_) {
        stripShownAt_.reset(); // the new port's figures at once
        portPath_ = path;
        portShown_ = stablePortName(path, config_.discoveryRoots);
        main_->setWindowTitle(QStringLiteral("plovex — ") +
                              QString::fromStdString(portTitle(path, port->commPortName(), config_.discoveryRoots)));
    }
    // The strip's figures are counts and rates: once a second is as often as
    // they can be read, and laying out their text was most of this tick. What
    // happened to the line (closed, opened again, a poll unanswered) shows at
    // once.
    const LinkHealth health = port->health();
    const bool event = health.open != stripHealth_.open || health.reconnects != stripHealth_.reconnects ||
                       health.framesAbandoned != stripHealth_.framesAbandoned;
    if (!event && stripShownAt_ && now - *stripShownAt_ < kStripInterval)
        return;
    stripShownAt_ = now;
    stripHealth_ = health;
    // Out of sight, the strip waits for the window to come back: then its
    // figures are the link's at that time.
    if (displayPass_.held()) {
        displayPass_.defer(main_->healthStrip(), [this] {
            if (const commPort* p = controller_->port())
                main_->healthStrip()->showHealth(p->health(), std::chrono::steady_clock::now(), portShown_);
        });
        return;
    }
    main_->healthStrip()->showHealth(health, now, portShown_);
}

} // namespace plovex
