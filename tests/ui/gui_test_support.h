// Shared pieces of the dialog tests: fixture paths, running the dialog modally, screenshots.
#pragma once

#include <QString>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <functional>

#include "tests/support/fixtures.h"

class QWidget;

namespace varnotte::test {

// The srcsafe.ini of a real database; skips the test (fails it under CI) when missing.
// `var` names the variable to declare, so it cannot be parenthesised.
// NOLINTBEGIN(bugprone-macro-parentheses)
#define VARNOTTE_QFIXTURE_INI(var, name)                    \
    const QString var = ::varnotte::test::FixtureIni(name); \
    if (var.isEmpty()) {                                    \
        if (::varnotte::test::RunningInCi()) {              \
            QFAIL("fixture " name " missing");              \
        }                                                   \
        QSKIP("fixture " name " missing");                  \
    }
// NOLINTEND(bugprone-macro-parentheses)

QString FixtureIni(const char* name);

// When VARNOTTE_SCREENSHOT_DIR is set, saves a picture of `widget` there as `name`.png.
void SaveScreenshot(QWidget* widget, const QString& name);
// The same for what the screen shows around `window`, its tooltips and frame included
// (under a real display only).
void SaveScreenAround(QWidget* window, const QString& name);

}  // namespace varnotte::test
