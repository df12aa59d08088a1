#include "app/windows/HealthStrip.h"

#include "app/windows/WrappedText.h"

#include <QLabel>
#include <QPalette>
#include <QVBoxLayout>

namespace plovex {

HealthStrip::HealthStrip(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("healthStrip"));
    auto* box = new QVBoxLayout(this);
    box->setContentsMargins(0, 0, 0, 0);

    // New figures four times a second: they repaint themselves alone.
    figures_ = new WrappedText(QStringLiteral("No link yet"), this);
    figures_->setObjectName(QStringLiteral("linkFigures"));
    QPalette quiet = figures_->palette();
    quiet.setColor(QPalette::WindowText, quiet.color(QPalette::Disabled, QPalette::WindowText).darker(130));
    figures_->setPalette(quiet);
    box->addWidget(figures_);

    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("portProblem"));
    problem_->setTextFormat(Qt::PlainText);
    problem_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    problem_->setWordWrap(true);
    problem_->setAutoFillBackground(true);
    problem_->setMargin(6);
    QPalette warn = problem_->palette();
    warn.setColor(QPalette::Window, QColor(0xff, 0xf0, 0xc8));
    warn.setColor(QPalette::WindowText, QColor(0x5a, 0x3a, 0x00));
    problem_->setPalette(warn);
    problem_->hide();
    box->addWidget(problem_);
}

void HealthStrip::showHealth(const LinkHealth& h, std::chrono::steady_clock::time_point now, const std::string& port)
{
    figures_->setText(QString::fromStdString(line_.update(h, now, port)));
}

void HealthStrip::ProblemField::setStringValue(const std::string& text)
{
    strip_.problem_->setText(QString::fromStdString(text));
    strip_.problem_->setVisible(!text.empty());
}

} // namespace plovex
