#include "app/outlets/QtOutlets.h"

#include "app/runtime/DisplayPass.h"
#include "app/windows/ParameterTableModel.h"
#include "gauge/NeedleGeometry.h"
#include "gauge/plovexGaugeView.h"

#include <QColor>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QRectF>
#include <QTableView>

#include <climits>
#include <cmath>
#include <utility>

namespace plovex {

namespace {

QColor toQColor(Color c)
{
    return QColor::fromRgbF(c.red, c.green, c.blue, c.alpha);
}

// Setting the same colour again changes nothing (and repaints nothing).
void setRole(QWidget* w, QPalette::ColorRole role, Color c)
{
    const QColor colour = toQColor(c);
    if (w->palette().color(role) == colour)
        return;
    QPalette p = w->palette();
    p.setColor(role, colour);
    w->setPalette(p);
}

void setTextIfChanged(QLabel* label, const QString& text)
{
    if (label->text() != text)
        label->setText(text);
}

} // namespace

int leadingInt(const QString& text)
{
    int i = 0;
    const int n = static_cast<int>(text.size());
    while (i < n && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long v = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        v = v * 10 + (text[i].unicode() - u'0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            break; // out of range either way; the clamp below decides
    }
    if (negative)
        v = -v;
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

void LineEditField::setStringValue(const std::string& text)
{
    edit_->setText(QString::fromStdString(text));
}

void LineEditField::setIntValue(int value)
{
    edit_->setText(QString::number(value));
}

int LineEditField::intValue() const
{
    return leadingInt(edit_->text());
}

void LineEditField::setTextColor(Color color)
{
    setRole(edit_, QPalette::Text, color);
}

void LabelField::setStringValue(const std::string& text)
{
    // Set with every record: the label is left alone while it shows this text.
    if (textSet_ && text == shownText_)
        return;
    setTextIfChanged(label_, QString::fromStdString(text));
    shownText_ = text;
    textSet_ = true;
}

void LabelField::setIntValue(int value)
{
    label_->setText(QString::number(value));
    textSet_ = false;
}

int LabelField::intValue() const
{
    return leadingInt(label_->text());
}

void LabelField::setTextColor(Color color)
{
    if (colorSet_ && color == shownColor_)
        return;
    setRole(label_, QPalette::WindowText, color);
    shownColor_ = color;
    colorSet_ = true;
}

FloatReadout::FloatReadout(QLabel* label, int decimals, QString unit, DisplayPass* pass)
    : label_(label), decimals_(decimals), unit_(std::move(unit)), pass_(pass)
{
    show(); // nothing measured yet
}

QString FloatReadout::format(float value, int decimals, const QString& unit)
{
    // A grade of a tilt of 90 degrees or more has no value.
    if (!std::isfinite(value))
        return QStringLiteral("—") + unit;
    QString number = QString::number(static_cast<double>(value), 'f', decimals);
    // A small negative value rounds to "-0.00"; show it as plain zero.
    if (number.startsWith(u'-') && number.toDouble() == 0.0)
        number.remove(0, 1);
    return number + unit;
}

void FloatReadout::setFloatValue(float value)
{
    value_ = value;
    noValue_ = false;
    showInNextPass();
}

void FloatReadout::setNoValue()
{
    noValue_ = true;
    showInNextPass();
}

void FloatReadout::setFormat(int decimals, QString unit)
{
    decimals_ = decimals;
    unit_ = std::move(unit);
    shown_ = false; // a dash stays a dash: the value is not made current by a new format
    showInNextPass();
}

void FloatReadout::showInNextPass()
{
    if (pass_)
        pass_->defer(this, [this] { show(); });
    else
        show();
}

void FloatReadout::setHeld(std::optional<float> value)
{
    held_ = value;
    shown_ = false;
    show();
}

void FloatReadout::show()
{
    const float value = held_.value_or(value_);
    if (noValue_ && !held_) {
        if (!shownNoValue_) {
            setTextIfChanged(label_, QStringLiteral("—"));
            label_->setEnabled(false); // greyed by the style
            shownNoValue_ = true;
            shown_ = false;
        }
        return;
    }
    if (shownNoValue_) {
        label_->setEnabled(true);
        shownNoValue_ = false;
    }
    if (shown_ && value == shownValue_)
        return; // the same number shows the same text
    setTextIfChanged(label_, format(value, decimals_, unit_));
    shownValue_ = value;
    shown_ = true;
}

GaugeField::GaugeField(plovexGaugeView* view, DisplayPass* pass)
    : view_(view), pass_(pass), paintedAngle_(view->angle()), liveAngle_(view->angle())
{
}

namespace {

NeedleGeometry drawnNeedle(const QWidget* view, float angle)
{
    const GaugeRect bounds{0.0f, 0.0f, static_cast<float>(view->width()), static_cast<float>(view->height())};
    return toYDown(needleGeometry(bounds, angle), bounds);
}

bool sameNeedle(const NeedleGeometry& a, const NeedleGeometry& b)
{
    return a.dx == b.dx && a.dy == b.dy && a.centre.x == b.centre.x && a.centre.y == b.centre.y;
}

} // namespace

QRect GaugeField::needleArea(const QWidget* view, float angle)
{
    const NeedleGeometry g = drawnNeedle(view, angle);
    const GaugePoint tip = g.tip();
    const QRectF needle = QRectF(QPointF(g.centre.x, g.centre.y), QPointF(tip.x, tip.y)).normalized();
    const QRectF hub(g.hub.x, g.hub.y, g.hub.width, g.hub.height);
    // Half the stroke on either side, and a pixel or two of antialiasing.
    const qreal pad = static_cast<qreal>(g.lineWidth) / 2.0 + 2.0;
    return needle.united(hub).adjusted(-pad, -pad, pad, pad).toAlignedRect() & view->rect();
}

void GaugeField::setAngle(float degrees)
{
    liveAngle_ = degrees;
    if (!held_)
        view_->setAngle(degrees);
}

void GaugeField::setHeld(std::optional<float> degrees)
{
    held_ = degrees;
    view_->setAngle(held_.value_or(liveAngle_));
    view_->setEnabled(held_ || !liveStale_);
    view_->update();
}

void GaugeField::setStale(bool stale)
{
    liveStale_ = stale;
    if (held_)
        return;
    // The needle takes the palette's text colour of the widget's state.
    if (view_->isEnabled() == stale)
        view_->setEnabled(!stale);
}

Rect GaugeField::bounds() const
{
    return {0.0f, 0.0f, static_cast<float>(view_->width()), static_cast<float>(view_->height())};
}

void GaugeField::setNeedsDisplayInRect(Rect rect)
{
    // Flip y: the rectangle's top edge in y-up terms is y + height.
    const QRectF flipped(rect.x, static_cast<float>(view_->height()) - (rect.y + rect.height), rect.width, rect.height);
    if (!pass_) {
        view_->update(flipped.toAlignedRect());
        return;
    }
    marked_ |= flipped.toAlignedRect();
    pass_->defer(this, [this] {
        const QRect marked = std::exchange(marked_, QRect());
        const float angle = view_->angle();
        if (sameNeedle(drawnNeedle(view_, angle), drawnNeedle(view_, paintedAngle_)))
            return; // the gauge shows this needle already
        view_->update((needleArea(view_, paintedAngle_) | needleArea(view_, angle)) & marked);
        paintedAngle_ = angle;
    });
}

void TableViewField::reloadData()
{
    model_->reload();
}

int TableViewField::selectedRow() const
{
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void PopUpMenu::removeAllItems()
{
    box_->clear();
}

void PopUpMenu::insertItemWithTitle(const std::string& title, int index)
{
    box_->insertItem(index, QString::fromStdString(title));
}

int PopUpMenu::indexOfSelectedItem() const
{
    return box_->currentIndex();
}

bool PopUpMenu::hasItemWithTitle(const std::string& title) const
{
    return box_->findText(QString::fromStdString(title), Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0;
}

void PopUpMenu::selectItemWithTitle(const std::string& title)
{
    const int i = box_->findText(QString::fromStdString(title), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (i >= 0)
        box_->setCurrentIndex(i);
}

void WindowField::makeKeyAndOrderFront()
{
    window_->show();
    window_->raise();
    window_->activateWindow();
}

} // namespace plovex
