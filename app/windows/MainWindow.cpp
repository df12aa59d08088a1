#include "app/windows/MainWindow.h"

#include "app/windows/HealthStrip.h"
#include "app/windows/ParameterTableModel.h"
#include "gauge/plovexGaugeView.h"

#include <QAction>
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
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace plovex {

namespace {

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
    auto* label = new QLabel(initial, parent);
    label->setTextFormat(Qt::PlainText);
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

    auto* gauges = new QHBoxLayout;
    gauges->addStretch(1);
    gauges->addWidget(makeGaugePanel(QStringLiteral("X"), xGauge_, xReadout_));
    gauges->addSpacing(24);
    gauges->addWidget(makeGaugePanel(QStringLiteral("Y"), yGauge_, yReadout_));
    gauges->addStretch(1);
    layout->addLayout(gauges);
    layout->addWidget(makeStatusRow());
    healthStrip_ = new HealthStrip(central);
    layout->addWidget(healthStrip_);

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
    table_->setMinimumHeight(6 * table_->verticalHeader()->defaultSectionSize());
    layout->addWidget(table_, 1);

    writeRow_ = new WriteRow(central);
    layout->addWidget(writeRow_);
    setCentralWidget(central);
    makeMenu();

    resize(sizeHint().expandedTo(QSize(560, 0)));
}

void MainWindow::fitToContents()
{
    // Worked out from the parts, since the window's own size hint was
    // cached before the table had its rows.
    table_->updateGeometry();
    centralWidget()->layout()->invalidate();
    const QSize central = centralWidget()->sizeHint();
    QSize size(std::max(central.width(), 560), central.height() + menuBar()->sizeHint().height());
    // An offscreen run has no real screen to fit.
    const QScreen* s = screen();
    if (s && QGuiApplication::platformName() != QStringLiteral("offscreen"))
        size = size.boundedTo(s->availableGeometry().size());
    resize(size);
}

void MainWindow::insertUnderGauges(QWidget* w)
{
    auto* layout = static_cast<QVBoxLayout*>(centralWidget()->layout());
    layout->insertWidget(layout->indexOf(table_), w);
}

void MainWindow::addBesideReadouts(QWidget* w)
{
    w->setParent(statusRow_->parentWidget());
    statusRow_->insertWidget(statusRow_->indexOf(temperature_) + 1, w);
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
    auto* h = statusRow_ = new QHBoxLayout(row);
    h->setContentsMargins(0, 4, 0, 4);

    auto* tempTitle = new QLabel(QStringLiteral("Temperature:"), row);
    temperature_ = new QLabel(QStringLiteral("0.0 °C"), row);
    temperature_->setObjectName(QStringLiteral("Temperature"));
    temperature_->setTextFormat(Qt::PlainText);
    temperature_->setFont(scaledFont(temperature_, 1.2, false));
    temperature_->setFixedSize(temperature_->fontMetrics().horizontalAdvance(QStringLiteral("-8888.8 °C")) + 8,
                               temperature_->sizeHint().height());
    h->addWidget(tempTitle);
    h->addWidget(temperature_);
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
