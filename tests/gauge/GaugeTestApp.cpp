#include "tests/gauge/GaugeTestApp.h"

#include <QApplication>
#include <QPainter>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace gaugetest {

namespace {

std::unique_ptr<QApplication> application;

// Ends the application inside main, once every test has run: left to the exit handlers, its
// destruction would run after parts of Qt are already gone.
class QtEnvironment : public ::testing::Environment {
public:
    void TearDown() override { application.reset(); }
};

[[maybe_unused]] ::testing::Environment* const qtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

} // namespace

void ensureApplication()
{
    if (QApplication::instance() != nullptr) {
        return;
    }
    // Same pixels whatever screen the tests run on (or none).
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "gauge_tests";
    static char* argv[] = {name, nullptr};
    application = std::make_unique<QApplication>(argc, argv);
}

QImage renderWidget(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

} // namespace gaugetest
