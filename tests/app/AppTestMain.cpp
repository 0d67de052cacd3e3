// The window tests run on the offscreen platform, in one application. Each
// test gets a settings folder of its own, so that no test sees what another
// saved, nor the settings of the user who runs them; programs the tests
// start look there too.
#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>
#include <memory>

#include "Application.h"

namespace {
class TFreshSettings : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo &) override {
    Folder = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", Folder->path().toLocal8Bit());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Folder->path());
  }
  void OnTestEnd(const testing::TestInfo &) override { Folder.reset(); }
  std::unique_ptr<QTemporaryDir> Folder;
};
} // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication Application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new TFreshSettings);
  return RUN_ALL_TESTS();
}
