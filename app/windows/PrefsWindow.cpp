#include "app/windows/PrefsWindow.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace plovex {

PrefsWindow::PrefsWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Preferences"));
    setObjectName(QStringLiteral("prefsWindow"));
    // Closing the main window ends the application even while this one is open.
    setAttribute(Qt::WA_QuitOnClose, false);
    setMinimumWidth(360);

    auto* layout = layout_ = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("Serial &port:"), this);
    ports_ = new QComboBox(this);
    ports_->setObjectName(QStringLiteral("serialPortMenu"));
    ports_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    ports_->setMinimumContentsLength(16);
    label->setBuddy(ports_);
    row->addWidget(label);
    row->addWidget(ports_, 1);
    layout->addLayout(row);

    hint_ = new QLabel(QStringLiteral("No serial ports found; plug one in and it is listed here within a second."), this);
    hint_->setWordWrap(true);
    layout->addWidget(hint_);
    layout->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    close_ = new QPushButton(QStringLiteral("&Close"), this);
    close_->setObjectName(QStringLiteral("prefsClose"));
    connect(close_, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(close_);
    apply_ = new QPushButton(QStringLiteral("&Apply"), this);
    apply_->setDefault(true);
    buttons->addWidget(apply_);
    layout->addLayout(buttons);

    // Escape closes the window, as it does a dialog; with the port list
    // open, it closes the list only.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (ports_->view()->isVisible())
            ports_->hidePopup();
        else
            close();
    });

    connect(ports_->model(), &QAbstractItemModel::rowsInserted, this, &PrefsWindow::updateEmptyHint);
    connect(ports_->model(), &QAbstractItemModel::rowsRemoved, this, &PrefsWindow::updateEmptyHint);
    connect(ports_->model(), &QAbstractItemModel::modelReset, this, &PrefsWindow::updateEmptyHint);
    updateEmptyHint();
}

void PrefsWindow::addSection(QWidget* w)
{
    w->setParent(this);
    layout_->insertWidget(layout_->indexOf(hint_) + 1, w);
}

void PrefsWindow::updateEmptyHint()
{
    const bool empty = ports_->count() == 0;
    hint_->setVisible(empty);
    apply_->setEnabled(!empty);
}

} // namespace plovex
