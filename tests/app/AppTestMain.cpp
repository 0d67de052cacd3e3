// The window tests run on the offscreen platform, in one application. Each
// test gets a settings store of its own, so that no test sees what another
// saved, nor the settings of the user who runs them: on Linux a settings
// folder, on Windows registry keys of its own that stand in for
// HKEY_CURRENT_USER and HKEY_CLASSES_ROOT (programs the tests start look
// in the settings folder too; on Windows they see the user's registry). It
// gets a temporary folder of its own as well: the window's temporary page
// has a fixed name there, and the test processes run side by side, so a
// window closing in one would take another's page away.
#include <gtest/gtest.h>

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

#include "Application.h"
#ifdef Q_OS_WIN
#include "ScratchRegistry.h"
#endif

namespace {
// The variables that name the temporary folder: TMPDIR on Linux; TMP, then
// TEMP on Windows (GetTempPath).
#ifdef Q_OS_WIN
const char *const TempVariables[] = {"TMP", "TEMP"};
#else
const char *const TempVariables[] = {"TMPDIR"};
#endif

class TFreshSettings : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo &) override {
    Folder = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", Folder->path().toLocal8Bit());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Folder->path());
#ifdef Q_OS_WIN
    Registry = std::make_unique<TScratchRegistry>();
#endif
    QDir(Folder->path()).mkdir("tmp");
    for (const char *Name : TempVariables)
      qputenv(Name, QDir::toNativeSeparators(Folder->filePath("tmp")).toLocal8Bit());
  }
  void OnTestEnd(const testing::TestInfo &) override {
    for (size_t K = 0; K < std::size(TempVariables); ++K)
      if (OriginalTemp[K].isNull())
        qunsetenv(TempVariables[K]);
      else
        qputenv(TempVariables[K], OriginalTemp[K]);
#ifdef Q_OS_WIN
    Registry.reset();
#endif
    Folder.reset();
  }
  std::unique_ptr<QTemporaryDir> Folder;
#ifdef Q_OS_WIN
  std::unique_ptr<TScratchRegistry> Registry;
#endif
  QByteArray OriginalTemp[std::size(TempVariables)] = {};

public:
  TFreshSettings() {
    for (size_t K = 0; K < std::size(TempVariables); ++K)
      OriginalTemp[K] = qgetenv(TempVariables[K]);
  }
};
} // namespace

int main(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  TApplication Application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new TFreshSettings);
  return RUN_ALL_TESTS();
}
