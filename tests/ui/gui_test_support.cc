#include "tests/ui/gui_test_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include "tests/support/fixtures.h"

namespace varnotte::test {

QString FixtureIni(const char* name) {
    const std::filesystem::path fixture = FindFixture(name);
    return fixture.empty() ? QString() : QString::fromStdString((fixture / "srcsafe.ini").string());
}

void SaveScreenshot(QWidget* widget, const QString& name) {
    const QString dir = qEnvironmentVariable("VARNOTTE_SCREENSHOT_DIR");
    if (dir.isEmpty()) {
        return;
    }
    QDir().mkpath(dir);
    widget->grab().save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

void SaveScreenAround(QWidget* window, const QString& name) {
    const QString dir = qEnvironmentVariable("VARNOTTE_SCREENSHOT_DIR");
    if (dir.isEmpty() || QGuiApplication::platformName() != QLatin1String("xcb")) {
        return;
    }
    QDir().mkpath(dir);
    // What is pending is painted first: the screen shows only what has been painted.
    window->repaint();
    QCoreApplication::processEvents();
    const QRect around = window->frameGeometry().adjusted(0, 0, 320, 40);
    QGuiApplication::primaryScreen()
        ->grabWindow(0, around.x(), around.y(), around.width(), around.height())
        .save(QDir(dir).filePath(name + QStringLiteral(".png")));
}

}  // namespace varnotte::test
