// Widgets need one QApplication for the whole run; the test environment sets
// QT_QPA_PLATFORM=offscreen, so no display is involved.
#include <gtest/gtest.h>

#include <QApplication>

#include <memory>

namespace {

class QtApplicationEnvironment : public testing::Environment {
  public:
    void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[11] = "uilib_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] testing::Environment* const kQtApplication =
    testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
