#include "tests/ui/gui_test_support.h"

#include <QDir>
#include <QPixmap>
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

}  // namespace varnotte::test
