#include "app/actions/FileReview.h"

#include "app/actions/MeasureTools.h"
#include "app/outlets/QtOutlets.h"
#include "app/windows/MainWindow.h"
#include "chart/FileChart.h"
#include "chart/HistoryChart.h"
#include "controller/plovexController.h"
#include "record/LocalTime.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QShortcut>
#include <QSvgGenerator>
#include <QVBoxLayout>

#include <cmath>
#include <limits>

namespace plovex {

namespace {

QString symbolOf(board::TiltUnit u)
{
    const auto s = board::tiltUnitSymbol(u);
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

// "2026-12-07 08:30:00.125", local, as the file writes it.
QString timeText(record::WallClock::time_point t)
{
    QString s = QString::fromStdString(record::isoLocalTime(t));
    s.truncate(23);
    return s.replace(QLatin1Char('T'), QLatin1Char(' '));
}

} // namespace

FileReview::FileReview(MainWindow& window, MeasureTools& measure, plovexController& controller, LiveFields live)
    : window_(window), measure_(measure), controller_(controller), live_(live)
{
    measure_.addInChartsPlace(makePanel());

    open_ = new QAction(QStringLiteral("Open Recording…"), &window_);
    open_->setShortcut(QKeySequence::Open);
    window_.fileMenu()->insertAction(window_.preferencesAction(), open_);
    window_.fileMenu()->insertSeparator(window_.preferencesAction());
    connect(open_, &QAction::triggered, this, &FileReview::askAndOpen);
}

FileReview::~FileReview()
{
    chart_->setHistory(nullptr);
}

QWidget* FileReview::makePanel()
{
    panel_ = new QWidget(&window_);
    auto* v = new QVBoxLayout(panel_);
    v->setContentsMargins(0, 0, 0, 0);

    auto* top = new QHBoxLayout;
    banner_ = new QLabel(panel_);
    banner_->setObjectName(QStringLiteral("fileBanner"));
    banner_->setTextFormat(Qt::PlainText);
    banner_->setWordWrap(true);
    banner_->setAutoFillBackground(true);
    banner_->setMargin(6);
    QPalette p = banner_->palette();
    p.setColor(QPalette::Window, QColor(0xff, 0xf0, 0xb3));
    p.setColor(QPalette::WindowText, QColor(0x30, 0x28, 0x00));
    banner_->setPalette(p);
    back_ = new QPushButton(QStringLiteral("Back to Live"), panel_);
    back_->setObjectName(QStringLiteral("backToLive"));
    back_->setToolTip(QStringLiteral("Show the board again (Escape)"));
    top->addWidget(banner_, 1);
    top->addWidget(back_);
    v->addLayout(top);

    chart_ = new chart::FileChart(panel_);
    chart_->setObjectName(QStringLiteral("fileChart"));
    chart_->onCursor([this](double t) { showRow(t); });
    v->addWidget(chart_, 1);

    auto* bottom = new QHBoxLayout;
    cursorLine_ = new QLabel(QStringLiteral("Click the chart for the values at a time. Wheel or +/− zooms, "
                                            "drag or ←/→ pans, Home shows all."),
                             panel_);
    cursorLine_->setObjectName(QStringLiteral("fileCursor"));
    cursorLine_->setTextFormat(Qt::PlainText);
    cursorLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    export_ = new QPushButton(QStringLiteral("Export…"), panel_);
    export_->setToolTip(QStringLiteral("Save the chart's view as a PNG image or an SVG drawing"));
    bottom->addWidget(cursorLine_, 1);
    bottom->addWidget(export_);
    v->addLayout(bottom);

    connect(back_, &QPushButton::clicked, this, &FileReview::backToLive);
    connect(export_, &QPushButton::clicked, this, &FileReview::askAndExport);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), panel_, nullptr, nullptr, Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        if (showsFile())
            backToLive();
    });
    return panel_;
}

void FileReview::askAndOpen()
{
    const QString path = QFileDialog::getOpenFileName(&window_, QStringLiteral("Open Recording"), QString(),
                                                      QStringLiteral("CSV files (*.csv);;All files (*)"));
    if (!path.isEmpty())
        open(path);
}

bool FileReview::open(const QString& path)
{
    QProgressDialog progress(QStringLiteral("Reading %1…").arg(QFileInfo(path).fileName()), QStringLiteral("Cancel"),
                             0, 1000, &window_);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    std::string error;
    auto history = chart::RecordingHistory::open(
        path.toStdString(), std::chrono::duration<double>(plovexController::kSilenceLimit).count(), &error,
        [&progress](double share) {
            progress.setValue(static_cast<int>(share * 1000));
            QApplication::processEvents();
            return !progress.wasCanceled();
        });
    progress.reset();
    if (!history) {
        if (error != "cancelled")
            QMessageBox::warning(&window_, QStringLiteral("Open Recording"),
                                 QStringLiteral("%1 cannot be shown: %2").arg(path, QString::fromStdString(error)));
        return false;
    }
    chart_->setHistory(nullptr);
    history_ = std::move(history);

    const chart::HistorySummary& s = history_->summary();
    const bool averaged = s.kind == record::RecordingKind::Averaged;
    QString text = QStringLiteral("Showing the file %1, not the board: %2 %3 from %4 to %5")
                       .arg(QFileInfo(path).fileName())
                       .arg(s.rows)
                       .arg(averaged ? QStringLiteral("averaged rows") : QStringLiteral("rows"))
                       .arg(timeText(history_->timeOf(0.0)), timeText(history_->timeOf(s.last)));
    if (s.breaks > 0)
        text += s.breaks == 1 ? QStringLiteral(", 1 gap") : QStringLiteral(", %1 gaps").arg(s.breaks);
    if (s.truncatedTail)
        text += QStringLiteral("; its last row was cut short and is left out");
    banner_->setText(text + QStringLiteral("."));
    if (liveTitle_.isEmpty()) // not already showing a file
        liveTitle_ = window_.windowTitle();
    window_.setWindowTitle(QStringLiteral("plovex — ") + QFileInfo(path).fileName());

    // Shown as the live chart shows the board: less the zero, in the unit
    // (as they are when it is drawn).
    chart_->setPresentation(
        [this](int axis, float degrees) {
            return static_cast<double>(controller_.tiltReference().shown(axis == 0 ? Axis::X : Axis::Y, degrees));
        },
        [this] {
            const board::TiltUnit unit = controller_.tiltReference().unit();
            return std::pair<QString, int>(symbolOf(unit), board::tiltUnitDecimals(unit));
        });
    chart_->setHistory(history_.get());
    measure_.historyChart().hide();
    panel_->show();
    chart_->setFocus();
    return true;
}

void FileReview::showRow(double t)
{
    std::string error;
    const auto row = history_->rowNear(t, &error);
    if (!row) {
        cursorLine_->setText(QStringLiteral("The file cannot be read again: ") + QString::fromStdString(error));
        return;
    }
    const TiltReference& ref = controller_.tiltReference();
    const board::TiltUnit unit = ref.unit();
    const int decimals = board::tiltUnitDecimals(unit);
    QString text = timeText(row->time) + QStringLiteral("  line %1  ").arg(row->line);
    if (row->gap) {
        text += row->intervalSeconds > 0 ? QStringLiteral("no measurement in the interval")
                                         : QStringLiteral("the link was down");
        for (FloatReadout* r : {live_.x, live_.y, live_.temperature})
            r->setHeld(std::numeric_limits<float>::quiet_NaN());
    } else {
        const auto x = static_cast<float>(row->x.mean), y = static_cast<float>(row->y.mean);
        live_.x->setHeld(ref.shown(Axis::X, x));
        live_.y->setHeld(ref.shown(Axis::Y, y));
        live_.temperature->setHeld(static_cast<float>(row->temperature.mean));
        live_.xGauge->setHeld(ref.zeroed(Axis::X, x));
        live_.yGauge->setHeld(ref.zeroed(Axis::Y, y));
        const QString symbol = symbolOf(unit);
        text += QStringLiteral("X %1  Y %2  %3 °C")
                    .arg(FloatReadout::format(ref.shown(Axis::X, x), decimals, symbol),
                         FloatReadout::format(ref.shown(Axis::Y, y), decimals, symbol),
                         QString::number(row->temperature.mean, 'f', 1));
        if (row->intervalSeconds > 0)
            text += QStringLiteral("  (mean of %1 in %2 s; X sd %3, Y sd %4)")
                        .arg(row->count)
                        .arg(row->intervalSeconds)
                        .arg(row->x.sd, 0, 'f', decimals + 1)
                        .arg(row->y.sd, 0, 'f', decimals + 1);
    }
    cursorLine_->setText(text);
}

void FileReview::backToLive()
{
    for (FloatReadout* r : {live_.x, live_.y, live_.temperature})
        r->setHeld(std::nullopt);
    live_.xGauge->setHeld(std::nullopt);
    live_.yGauge->setHeld(std::nullopt);
    panel_->hide();
    measure_.historyChart().show();
    chart_->setHistory(nullptr);
    history_.reset();
    // The port's title as it was (the link's health check names a new port).
    window_.setWindowTitle(liveTitle_.isEmpty() ? QStringLiteral("plovex") : liveTitle_);
    liveTitle_.clear();
}

bool FileReview::exportChart(const QString& path, QString* error) const
{
    bool ok = false;
    if (path.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
        QSvgGenerator svg;
        svg.setFileName(path);
        svg.setSize(chart_->size());
        svg.setViewBox(QRect(QPoint(0, 0), chart_->size()));
        svg.setTitle(banner_->text());
        QPainter painter;
        ok = painter.begin(&svg);
        if (ok) {
            chart_->render(&painter);
            ok = painter.end();
        }
        ok = ok && QFileInfo(path).size() > 0;
    } else {
        ok = chart_->grab().save(path, "PNG");
    }
    if (!ok && error)
        *error = QStringLiteral("%1 could not be written").arg(path);
    return ok;
}

void FileReview::askAndExport()
{
    QString filter;
    QString path = QFileDialog::getSaveFileName(&window_, QStringLiteral("Export Chart"), QString(),
                                                QStringLiteral("PNG image (*.png);;SVG drawing (*.svg)"), &filter);
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += filter.startsWith(QStringLiteral("SVG")) ? QStringLiteral(".svg") : QStringLiteral(".png");
    if (QString error; !exportChart(path, &error))
        QMessageBox::warning(&window_, QStringLiteral("Export Chart"), error);
}

} // namespace plovex
