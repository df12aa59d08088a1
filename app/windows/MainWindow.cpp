#include "app/windows/MainWindow.h"

#include "app/windows/FoldingSplitter.h"
#include "app/windows/HealthStrip.h"
#include "app/windows/ParameterTableModel.h"
#include "app/windows/ReadoutLabel.h"
#include "gauge/plovexGaugeView.h"

#include <QAction>
#include <QDataStream>
#include <QFont>
#include <QGuiApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPalette>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace plovex {

namespace {

// Where the screen allows, the chart and table open this wide: a minute's
// history at a readable pixel a tenth of a second, and room for the notes
// beside the buttons.
constexpr int kOpeningWorkWidth = 760;

// Beside the gauges in a short window, the details' lines take this much
// more than their longest word.
constexpr int kDetailsRoom = 160;

// The needle is 110 units long, drawn for a 240-unit dial: the gauges keep that size.
constexpr int kGaugeSide = 240;

QFont scaledFont(const QWidget* w, double factor, bool bold)
{
    QFont f = w->font();
    if (f.pointSizeF() > 0)
        f.setPointSizeF(f.pointSizeF() * factor);
    else
        f.setPixelSize(static_cast<int>(f.pixelSize() * factor));
    f.setBold(bold);
    return f;
}

QLabel* makeReadout(QWidget* parent, const QString& initial)
{
    auto* label = new ReadoutLabel(initial, parent);
    label->setFont(scaledFont(label, 1.6, false));
    label->setAlignment(Qt::AlignCenter);
    // A fixed size with room for "-180.01°": a new value then repaints the
    // label alone instead of laying out the window again.
    label->setFixedSize(label->fontMetrics().horizontalAdvance(QStringLiteral("-888.88°")) + 8,
                        label->sizeHint().height());
    return label;
}

// A table that asks for room for all its rows, so the window opens showing
// every parameter; it still shrinks (and scrolls) when the window does.
class WholeTableView final : public QTableView {
public:
    using QTableView::QTableView;
    QSize sizeHint() const override
    {
        QSize hint = QTableView::sizeHint();
        const int rows = model() ? model()->rowCount() : 0;
        hint.setHeight(horizontalHeader()->sizeHint().height() + rows * verticalHeader()->defaultSectionSize() +
                       2 * frameWidth());
        return hint;
    }
};

} // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("plovex"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(6, 6, 6, 2);

    // The instruments: the two gauges with their readouts, and the details
    // (the temperature and link state, the link's health, what is added)
    // under them, or beside them in a short window.
    instruments_ = new QWidget(central);
    instruments_->setObjectName(QStringLiteral("instruments"));
    instrumentsBox_ = new QBoxLayout(QBoxLayout::TopToBottom, instruments_);
    instrumentsBox_->setContentsMargins(0, 0, 0, 0);
    auto* gauges = new QHBoxLayout;
    gauges->addStretch(1);
    gauges->addWidget(makeGaugePanel(QStringLiteral("X"), xGauge_, xReadout_));
    gauges->addSpacing(24);
    gauges->addWidget(makeGaugePanel(QStringLiteral("Y"), yGauge_, yReadout_));
    gauges->addStretch(1);
    instrumentsBox_->addLayout(gauges);
    details_ = new QWidget(instruments_);
    auto* column = new QVBoxLayout(details_);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(makeStatusRow());
    healthStrip_ = new HealthStrip(details_);
    column->addWidget(healthStrip_);
    column->addStretch(1);
    instrumentsBox_->addWidget(details_, 1);

    // The work area: the panes added to the window (the chart's), then the
    // parameter table, one over the other.
    model_ = new ParameterTableModel(this);
    table_ = new WholeTableView(central);
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAlternatingRowColors(true);
    table_->setWordWrap(false);
    table_->setTabKeyNavigation(false); // Tab moves on to the fields and Write
    table_->verticalHeader()->setVisible(false);
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    QHeaderView* header = table_->horizontalHeader();
    header->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    header->setSectionResizeMode(1, QHeaderView::Stretch);
    header->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    header->setHighlightSections(false);
    table_->setMinimumHeight(4 * table_->verticalHeader()->defaultSectionSize());
    work_ = new FoldingSplitter(Qt::Vertical, central);
    work_->setObjectName(QStringLiteral("workSplitter"));
    work_->addWidget(table_);
    work_->setStretchFactor(0, 1);

    // Beside each other where the window is wide enough, else stacked.
    body_ = new FoldingSplitter(Qt::Horizontal, central);
    body_->setObjectName(QStringLiteral("bodySplitter"));
    body_->addWidget(instruments_);
    body_->addWidget(work_);
    body_->setStretchFactor(0, 0);
    body_->setStretchFactor(1, 1);
    layout->addWidget(body_, 1);

    // The write row, and under it the status line, never fold: a write's,
    // a save's or a restore's result is always in view.
    writeRow_ = new WriteRow(central);
    layout->addWidget(writeRow_);
    setCentralWidget(central);
    makeMenu();
}

void MainWindow::addBanner(QWidget* w)
{
    auto* layout = static_cast<QVBoxLayout*>(centralWidget()->layout());
    layout->insertWidget(layout->indexOf(body_), w);
}

void MainWindow::addInstrument(QWidget* w)
{
    auto* column = static_cast<QVBoxLayout*>(details_->layout());
    column->insertWidget(column->count() - 1, w); // above the stretch
}

void MainWindow::addWorkPane(QWidget* w, int stretch)
{
    work_->insertWidget(work_->indexOf(table_), w);
    work_->setStretchFactor(work_->indexOf(w), stretch);
}

int MainWindow::wideWidth() const
{
    const auto minimum = [](const QWidget* w) { return w->minimumSizeHint().expandedTo(w->minimumSize()).width(); };
    const QMargins m = centralWidget()->layout()->contentsMargins();
    // Side by side with the work area, the details stand under the gauges.
    const int instruments = compact_ ? normalInstrumentsWidth_ : instruments_->sizeHint().width();
    return instruments + minimum(work_) + body_->handleWidth() + m.left() + m.right();
}

void MainWindow::setCompact(bool compact)
{
    if (compact == compact_)
        return;
    if (compact)
        normalInstrumentsWidth_ = instruments_->sizeHint().width();
    compact_ = compact;
    instrumentsBox_->setDirection(compact ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom);
    statusBox_->setDirection(compact ? QBoxLayout::TopToBottom : QBoxLayout::LeftToRight);
    // The sizes asked for change now, not at the loop's next turn.
    statusBox_->parentWidget()->updateGeometry();
    details_->updateGeometry();
    instruments_->layout()->activate();
}

namespace {

int leastHeight(const QWidget* w)
{
    return w->minimumSizeHint().expandedTo(w->minimumSize()).height();
}

} // namespace

void MainWindow::arrange()
{
    // What follows reads the splitters' sizes: as the window's size makes them.
    layout()->activate();
    centralWidget()->layout()->activate();
    const bool wasCompact = compact_;
    setCompact(false);
    const Qt::Orientation wanted = width() >= wideWidth() ? Qt::Horizontal : Qt::Vertical;
    const bool turned = body_->orientation() != wanted;
    if (turned)
        body_->setOrientation(wanted);
    if (wanted == Qt::Vertical) {
        // Too short for the instruments over the first pane (the chart's):
        // the details go beside the gauges where the width allows it.
        const int room = body_->height() - body_->handleWidth();
        const int first = leastHeight(work_->widget(0));
        if (leastHeight(instruments_) + first > room) {
            setCompact(true);
            if (instruments_->minimumSizeHint().width() > body_->width())
                setCompact(false);
        }
    }
    if (turned || compact_ != wasCompact) {
        // The instruments take the room they ask for; the work area the rest.
        const QSize hint = instruments_->sizeHint();
        const int along = wanted == Qt::Horizontal ? hint.width() : hint.height();
        const int total = wanted == Qt::Horizontal ? body_->width() : body_->height();
        body_->setSizes({along, std::max(1, total - along)});
    }
    if (wanted == Qt::Horizontal)
        return;
    // Stacked in too little height, panes fold rather than squeeze, from the
    // table up: what is shown is shown whole, and a fold drags open again.
    const int tools = leastHeight(instruments_);
    const int rest = body_->height() - tools - body_->handleWidth();
    if (rest >= leastHeight(work_) + leastHeight(table_) + work_->handleWidth())
        return;
    const QWidget* first = work_->widget(0);
    if (work_->count() > 1 && rest >= leastHeight(first)) {
        QList<int> sizes(work_->count(), 0);
        sizes[0] = rest;
        work_->setSizes(sizes);
        body_->setSizes({tools, rest});
    } else {
        body_->setSizes({body_->height(), 0});
    }
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    arrange();
}

QSize MainWindow::openingSize(const QRect& available)
{
    // The work area's panes at their preferred heights, the instruments
    // beside them where the screen is wide enough, all within the screen
    // less a title bar.
    const QSize room = available.size() - QSize(0, kTitleBarAllowance);
    const QSize least = minimumSizeHint();
    const QSize work = work_->sizeHint();
    const QSize tools = instruments_->sizeHint();
    const int chrome = menuBar()->sizeHint().height() + statusBar()->sizeHint().height() +
                       writeRow_->sizeHint().height() + 24;
    QSize size;
    if (wideWidth() <= room.width())
        size = QSize(std::max(wideWidth(), tools.width() + std::max(work.width(), kOpeningWorkWidth) + 24),
                     std::max(tools.height(), work.height()) + chrome);
    else
        size = QSize(std::max(tools.width(), work.width()) + 16, tools.height() + work.height() + chrome);
    if (size.height() > room.height()) {
        // Too short for all: the details beside the gauges, with room to
        // spare for their lines where the screen has it.
        setCompact(true);
        size.setWidth(std::max(size.width(), instruments_->sizeHint().width() + 16 + kDetailsRoom));
        setCompact(false);
    }
    return size.boundedTo(room).expandedTo(least);
}

void MainWindow::fitToContents(const QByteArray& rememberedGeometry)
{
    // Worked out from the parts, since the window's own size hint was
    // cached before the table had its rows.
    table_->updateGeometry();
    centralWidget()->layout()->invalidate();
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect available = s ? s->availableGeometry() : QRect(0, 0, 1366, 768);
    if (rememberedGeometry.isEmpty() || !restoreGeometry(rememberedGeometry)) {
        const QSize size = openingSize(available);
        resize(size);
        move(available.center() - QPoint(size.width() / 2, (size.height() + kTitleBarAllowance) / 2) +
             QPoint(0, kTitleBarAllowance));
    }
    // Wherever it was, it opens whole on this screen, title bar and all.
    QRect g = geometry();
    g.setSize(g.size().boundedTo(available.size() - QSize(0, kTitleBarAllowance)).expandedTo(minimumSizeHint()));
    g.moveLeft(std::clamp(g.left(), available.left(), std::max(available.left(), available.right() + 1 - g.width())));
    g.moveTop(std::clamp(g.top(), available.top() + kTitleBarAllowance,
                         std::max(available.top() + kTitleBarAllowance, available.bottom() + 1 - g.height())));
    setGeometry(g);
    arrange();
}

QByteArray MainWindow::splitterState() const
{
    QByteArray state;
    QDataStream out(&state, QIODevice::WriteOnly);
    out << body_->saveState() << work_->saveState();
    return state;
}

bool MainWindow::restoreSplitterState(const QByteArray& state)
{
    QDataStream in(state);
    QByteArray body, work;
    in >> body >> work;
    if (in.status() != QDataStream::Ok)
        return false;
    // The work area's division holds for either arrangement; the body's only
    // for the one it was made in: the window's width decides that again.
    const bool ok = work_->restoreState(work) && body_->restoreState(body);
    arrange();
    return ok;
}

QWidget* MainWindow::makeGaugePanel(const QString& axis, plovexGaugeView*& gauge, QLabel*& readout)
{
    auto* panel = new QWidget(this);
    auto* box = new QVBoxLayout(panel);
    box->setContentsMargins(0, 0, 0, 0);

    auto* title = new QLabel(axis, panel);
    title->setFont(scaledFont(title, 1.4, true));
    title->setAlignment(Qt::AlignCenter);
    box->addWidget(title);

    gauge = new plovexGaugeView(panel);
    gauge->setObjectName(axis + QStringLiteral("gauge"));
    gauge->setFixedSize(kGaugeSide, kGaugeSide);
    box->addWidget(gauge, 0, Qt::AlignHCenter);

    readout = makeReadout(panel, QStringLiteral("0.00°"));
    readout->setObjectName(axis + QStringLiteral("valueItem"));
    box->addWidget(readout, 0, Qt::AlignHCenter);
    return panel;
}

QWidget* MainWindow::makeStatusRow()
{
    auto* row = new QWidget(this);
    auto* h = statusBox_ = new QBoxLayout(QBoxLayout::LeftToRight, row);
    h->setContentsMargins(0, 4, 0, 4);
    auto* temperature = new QHBoxLayout;

    auto* tempTitle = new QLabel(QStringLiteral("Temperature:"), row);
    temperature_ = new ReadoutLabel(QStringLiteral("0.0 °C"), row);
    temperature_->setObjectName(QStringLiteral("Temperature"));
    temperature_->setFont(scaledFont(temperature_, 1.2, false));
    temperature_->setFixedSize(temperature_->fontMetrics().horizontalAdvance(QStringLiteral("-8888.8 °C")) + 8,
                               temperature_->sizeHint().height());
    temperature->addWidget(tempTitle);
    temperature->addWidget(temperature_);
    temperature->addStretch(1);
    h->addLayout(temperature);
    h->addStretch(1);

    // A dark plate, so that the pure green and red of the link state both read well.
    // Until the first record says how the link is.
    commState_ = new QLabel(QStringLiteral("Waiting…"), row);
    commState_->setObjectName(QStringLiteral("commStateItem"));
    commState_->setFont(scaledFont(commState_, 1.2, true));
    commState_->setAlignment(Qt::AlignCenter);
    commState_->setAutoFillBackground(true);
    commState_->setMargin(6);
    QPalette p = commState_->palette();
    p.setColor(QPalette::Window, QColor(0x26, 0x26, 0x26));
    p.setColor(QPalette::WindowText, QColor(0xa0, 0xa0, 0xa0));
    commState_->setPalette(p);
    commState_->setTextFormat(Qt::PlainText);
    const QFontMetrics metrics = commState_->fontMetrics();
    commState_->setFixedSize(std::max({metrics.horizontalAdvance(QStringLiteral("NO Comms")),
                                       metrics.horizontalAdvance(QStringLiteral("Comms OK")),
                                       metrics.horizontalAdvance(QStringLiteral("Waiting…"))}) +
                                 28,
                             commState_->sizeHint().height());
    h->addWidget(commState_);
    return row;
}

void MainWindow::makeMenu()
{
    QMenu* file = file_ = menuBar()->addMenu(QStringLiteral("&File"));
    preferences_ = file->addAction(QStringLiteral("Preferences..."));
    preferences_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Comma));
    preferences_->setMenuRole(QAction::PreferencesRole);
    file->addSeparator();
    quit_ = file->addAction(QStringLiteral("Quit"));
    quit_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit_->setMenuRole(QAction::QuitRole);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    about_ = help->addAction(QStringLiteral("About plovex"));
    about_->setMenuRole(QAction::AboutRole);
}

} // namespace plovex
