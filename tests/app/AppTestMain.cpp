// The window tests run on the offscreen platform, in one application. Each
// test gets a settings folder of its own, so that no test sees what another
// saved, nor the settings of the user who runs them; programs the tests
// start look there too. It gets a temporary folder of its own as well: the
// window's temporary page has a fixed name there, and the test processes run
// side by side, so a window closing in one would take another's page away.
#include <gtest/gtest.h>

#include <QDir>
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
    QDir(Folder->path()).mkdir("tmp");
    qputenv("TMPDIR", Folder->filePath("tmp").toLocal8Bit());
  }
  void OnTestEnd(const testing::TestInfo &) override {
    if (OriginalTemp.isNull())
      qunsetenv("TMPDIR");
    else
      qputenv("TMPDIR", OriginalTemp);
    Folder.reset();
  }
  std::unique_ptr<QTemporaryDir> Folder;
  const QByteArray OriginalTemp = qgetenv("TMPDIR");
};
} // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication Application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new TFreshSettings);
  return RUN_ALL_TESTS();
}
