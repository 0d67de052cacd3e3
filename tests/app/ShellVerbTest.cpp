// The context-menu verb: on Linux desktop entries written into a data
// folder of the test's own, on Windows Explorer's verb in the test's own
// registry keys (see the test main).
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "FileIO.h"
#include "MainForm.h"
#include "MimeApps.h"
#include "ShellVerb.h"
#include "ui_MainForm.h"
#ifdef Q_OS_WIN
#include "ScratchRegistry.h"
#include "ShellVerbWin32.h"
#include "StoredSettings.h"
#endif

#ifdef Q_OS_WIN
namespace {

// The type ".pas" names, with another program's "Open" verb, as a Pascal
// IDE leaves them; the verb goes into the user's classes.
class ShellVerb : public testing::Test {
protected:
  void SetUp() override {
    TScratchRegistry::SetText(HKEY_CLASSES_ROOT, L".pas", L"", L"DelphiUnit");
    TScratchRegistry::SetText(HKEY_CURRENT_USER, Shell + L"\\Open\\command", L"",
                              L"C:\\IDE\\ide.exe \"%1\"");
    PromptHandler() = [this](const TPrompt &Prompt) {
      Prompts.push_back(Prompt);
      return false;
    };
  }
  std::wstring Command() const {
    return TScratchRegistry::Get(HKEY_CURRENT_USER, Shell + L"\\Tessaline\\command", L"");
  }
  // The window program beside the tests' folder, in the build tree.
  static QString Program() {
    return QDir::toNativeSeparators(
        QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../app/tessaline.exe"));
  }
  static std::wstring Wide(const QString &Text) { return Text.toStdWString(); }

  const std::wstring Shell = L"Software\\Classes\\DelphiUnit\\Shell";
  std::vector<TPrompt> Prompts;
};

TEST_F(ShellVerb, RegisterTwiceThenUnregisterTwice) {
  RegisterShellVerb("C:\\old place\\tessaline.exe");
  EXPECT_EQ(Command(), L"\"C:\\old place\\tessaline.exe\" \"%1\"") << "a blank: quoted";
  RegisterShellVerb(Program()); // again, from where the program is now
  EXPECT_EQ(Command(), Wide(QString::fromStdString(ExplorerVerbCommand(Program().toStdString()))));
  EXPECT_EQ(TScratchRegistry::Subkeys(HKEY_CURRENT_USER, Shell + L"\\Tessaline"), L"command ");
  EXPECT_EQ(TScratchRegistry::ValueCount(HKEY_CURRENT_USER, Shell + L"\\Tessaline"), 0u);
  UnregisterShellVerb();
  EXPECT_FALSE(TScratchRegistry::Exists(HKEY_CURRENT_USER, Shell + L"\\Tessaline"));
  EXPECT_EQ(TScratchRegistry::Subkeys(HKEY_CURRENT_USER, Shell), L"Open ");
  UnregisterShellVerb(); // nothing there: nothing happens
  EXPECT_EQ(TScratchRegistry::Get(HKEY_CURRENT_USER, Shell + L"\\Open\\command", L""),
            L"C:\\IDE\\ide.exe \"%1\"");
  EXPECT_EQ(TScratchRegistry::Get(HKEY_CLASSES_ROOT, L".pas", L""), L"DelphiUnit");
}

TEST_F(ShellVerb, TheRegisteredCommandConvertsAFile) {
  RegisterShellVerb(Program());
  const QString Exec = QString::fromStdWString(Command());
  QTemporaryDir Work;
  const QString Name = QDir::toNativeSeparators(Work.filePath("My Unit.pas"));
  QFile Source(Name);
  ASSERT_TRUE(Source.open(QIODevice::WriteOnly));
  Source.write("begin end.");
  Source.close();
  // What Explorer does with the command: the file's name for %1, then the
  // line split as the program's own start-up splits it.
  QStringList Command = QProcess::splitCommand(QString(Exec).replace("%1", Name));
  ASSERT_EQ(Command.size(), 2);
  QProcess Run;
  QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
  Environment.insert("QT_QPA_PLATFORM", "offscreen");
  // The offscreen platform lies beside the tests, not beside the program.
  Environment.insert("QT_PLUGIN_PATH", QCoreApplication::applicationDirPath());
  Run.setProcessEnvironment(Environment);
  Run.start(Command.takeFirst(), Command);
  ASSERT_TRUE(Run.waitForFinished(60000));
  EXPECT_EQ(Run.exitCode(), 0);
  TTessaline Converter;
  Converter.SetTitle("Howdy !!! Greetings from Tessaline :-)");
  Converter.SetPlain("begin end.");
  Converter.Convert();
  QFile Page(Work.filePath("My Unit.html"));
  ASSERT_TRUE(Page.open(QIODevice::ReadOnly));
  EXPECT_EQ(Page.readAll().toStdString(), Converter.HTML());
}

TEST_F(ShellVerb, ButtonsRegisterAndAFailureNamesTheFile) {
  TForm1 Form;
  QTest::mouseClick(Form.Controls()->Register, Qt::LeftButton);
  EXPECT_EQ(Command(), Wide(QString::fromStdString(ExplorerVerbCommand(
                           QDir::toNativeSeparators(QCoreApplication::applicationFilePath())
                               .toStdString()))));
  QTest::mouseClick(Form.Controls()->Unregister, Qt::LeftButton);
  EXPECT_FALSE(TScratchRegistry::Exists(HKEY_CURRENT_USER, Shell + L"\\Tessaline"));
  EXPECT_TRUE(Prompts.empty());
  // The user's classes closed to writing: the report names the value.
  BlockStoredSettings();
  QTest::mouseClick(Form.Controls()->Register, Qt::LeftButton);
  ASSERT_EQ(Prompts.size(), 1u);
  EXPECT_EQ(Prompts[0].Kind, TPromptKind::Error);
  EXPECT_EQ(Prompts[0].Text, "Failed to set data for ''");
}

TEST_F(ShellVerb, RegisteringNeverChangesTheDefaultProgram) {
  // The type's default verb and ".pas" itself stay as the IDE left them;
  // without a type, nothing is written anywhere.
  TScratchRegistry::SetText(HKEY_CURRENT_USER, Shell, L"", L"Open");
  RegisterShellVerb(Program());
  EXPECT_EQ(TScratchRegistry::Get(HKEY_CURRENT_USER, Shell, L""), L"Open");
  UnregisterShellVerb();
  EXPECT_EQ(TScratchRegistry::Get(HKEY_CURRENT_USER, Shell, L""), L"Open");
  EXPECT_EQ(TScratchRegistry::Get(HKEY_CLASSES_ROOT, L".pas", L""), L"DelphiUnit");
  RegDeleteTreeW(HKEY_CLASSES_ROOT, L".pas");
  TForm1 Form;
  QTest::mouseClick(Form.Controls()->Register, Qt::LeftButton);
  ASSERT_EQ(Prompts.size(), 1u);
  EXPECT_EQ(Prompts[0].Text, "No file type is registered for .pas files");
  EXPECT_EQ(TScratchRegistry::Subkeys(HKEY_CURRENT_USER, L"Software\\Classes"), L"DelphiUnit ");
}

} // namespace
#else
namespace {

class ShellVerb : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Home.isValid());
    qputenv("XDG_DATA_HOME", Home.path().toLocal8Bit());
    PromptHandler() = [this](const TPrompt &Prompt) {
      Prompts.push_back(Prompt);
      return false;
    };
  }
  void TearDown() override { qunsetenv("XDG_DATA_HOME"); }
  QString Read(const QString &FileName) {
    QFile File(FileName);
    File.open(QIODevice::ReadOnly);
    return QString::fromUtf8(File.readAll());
  }
  // Every file below the data folder that mentions our entry.
  QStringList OursLeft() {
    QStringList Found;
    for (QDirIterator It(Home.path(), QDir::Files, QDirIterator::Subdirectories); It.hasNext();) {
      const QString Name = It.next();
      if (Read(Name).contains("tessaline-convert") || Name.contains("tessaline-convert"))
        Found << Name;
    }
    return Found;
  }

  QTemporaryDir Home;
  std::vector<TPrompt> Prompts;
};

TEST_F(ShellVerb, RegisterTwiceThenUnregisterTwice) {
  EXPECT_EQ(PascalMimeType(), "text/x-pascal");
  QDir().mkpath(Home.filePath("applications"));
  QFile Foreign(Home.filePath("applications/other.desktop"));
  ASSERT_TRUE(Foreign.open(QIODevice::WriteOnly));
  Foreign.write("[Desktop Entry]\nType=Application\nName=Other\nExec=other\n");
  Foreign.close();

  RegisterShellVerb("/opt/old place/tessaline");
  RegisterShellVerb(TESSALINE_APP); // again, from where the program is now
  EXPECT_EQ(DesktopEntryPath(), Home.filePath("applications/tessaline-convert.desktop"));
  const QString Entry = Read(DesktopEntryPath());
  const QString Menu = Read(ServiceMenuPath());
  EXPECT_TRUE(Entry.contains("\nName=Tessaline\n"));
  EXPECT_TRUE(Entry.contains("\nMimeType=text/x-pascal;\n"));
  EXPECT_TRUE(Entry.contains(QString("\nExec=\"%1\" %f\n").arg(TESSALINE_APP)));
  EXPECT_FALSE(Entry.contains("old place"));
  EXPECT_TRUE(Menu.contains("[Desktop Action tessaline]\nName=Tessaline\n"));
  EXPECT_TRUE(Menu.startsWith("[Desktop Entry]\nType=Service\nName=Tessaline\n"));
  EXPECT_TRUE(QFile::permissions(ServiceMenuPath()) & QFile::ExeOwner);
  const QString Validate = QStandardPaths::findExecutable("desktop-file-validate");
  if (!Validate.isEmpty()) {
    QProcess Check;
    Check.start(Validate, {DesktopEntryPath()});
    ASSERT_TRUE(Check.waitForFinished(20000));
    EXPECT_EQ(Check.exitCode(), 0) << Check.readAllStandardOutput().toStdString();
  }

  UnregisterShellVerb();
  EXPECT_TRUE(OursLeft().isEmpty()) << OursLeft().join(", ").toStdString();
  EXPECT_TRUE(QFile::exists(Home.filePath("applications/other.desktop")));
  UnregisterShellVerb(); // nothing there: nothing happens
  EXPECT_TRUE(QFile::exists(Home.filePath("applications/other.desktop")));
}

TEST_F(ShellVerb, TheRegisteredCommandConvertsAFile) {
  RegisterShellVerb(TESSALINE_APP);
  const QString Exec =
      QRegularExpression("\nExec=(.*)\n").match(Read(DesktopEntryPath())).captured(1);
  QTemporaryDir Work;
  QFile Source(Work.filePath("My Unit.pas"));
  ASSERT_TRUE(Source.open(QIODevice::WriteOnly));
  Source.write("begin end.");
  Source.close();
  // What a file manager does with the Exec line: the program, then the file.
  QStringList Command =
      QProcess::splitCommand(QString(Exec).replace("%f", "\"" + Source.fileName() + "\""));
  QProcess Run;
  QProcessEnvironment Environment = QProcessEnvironment::systemEnvironment();
  Environment.insert("QT_QPA_PLATFORM", "offscreen");
  Run.setProcessEnvironment(Environment);
  Run.start(Command.takeFirst(), Command);
  ASSERT_TRUE(Run.waitForFinished(30000));
  EXPECT_EQ(Run.exitCode(), 0);
  TTessaline Converter;
  Converter.SetTitle("Howdy !!! Greetings from Tessaline :-)");
  Converter.SetPlain("begin end.");
  Converter.Convert();
  EXPECT_EQ(Read(Work.filePath("My Unit.html")).toStdString(), Converter.HTML());
}

TEST_F(ShellVerb, ButtonsRegisterAndAFailureNamesTheFile) {
  TForm1 Form;
  QTest::mouseClick(Form.Controls()->Register, Qt::LeftButton);
  EXPECT_TRUE(Read(DesktopEntryPath()).contains(QCoreApplication::applicationFilePath()));
  QTest::mouseClick(Form.Controls()->Unregister, Qt::LeftButton);
  EXPECT_TRUE(OursLeft().isEmpty());
  EXPECT_TRUE(Prompts.empty());
  // A file where the service menu folder should be: the entry written
  // first is taken back, and the report names what could not be written.
  QDir(Home.filePath("kio/servicemenus")).removeRecursively();
  QDir().mkpath(Home.filePath("kio"));
  QFile Blocker(Home.filePath("kio/servicemenus"));
  ASSERT_TRUE(Blocker.open(QIODevice::WriteOnly));
  Blocker.close();
  QTest::mouseClick(Form.Controls()->Register, Qt::LeftButton);
  ASSERT_EQ(Prompts.size(), 1u);
  EXPECT_EQ(Prompts[0].Kind, TPromptKind::Error);
  EXPECT_EQ(Prompts[0].Text, "Cannot create file " + ServiceMenuPath());
  EXPECT_FALSE(QFile::exists(DesktopEntryPath()));
}

// The default program for Pascal files, as GIO (the desktop's own lookup)
// names it, or empty when gio is not there.
QString GioDefault() {
  const QString Gio = QStandardPaths::findExecutable("gio");
  if (Gio.isEmpty())
    return QString();
  QProcess Query;
  Query.start(Gio, {"mime", "text/x-pascal"});
  Query.waitForFinished(20000);
  const QString Out = QString::fromUtf8(Query.readAllStandardOutput());
  const QString Id = QRegularExpression(":\\s*(\\S+\\.desktop)\\s*\n").match(Out).captured(1);
  return Id.isEmpty() ? "none" : Id;
}

TEST_F(ShellVerb, RegisteringNeverChangesTheDefaultProgram) {
  // A system of its own: an editor for plain text, an IDE, and the MIME
  // database (which says that Pascal source is plain text).
  QTemporaryDir System;
  QDir().mkpath(System.filePath("applications"));
  QFile::link("/usr/share/mime", System.filePath("mime"));
  auto Install = [&](const QString &Id, const QString &Types) {
    QFile Entry(System.filePath("applications/" + Id));
    ASSERT_TRUE(Entry.open(QIODevice::WriteOnly));
    Entry.write(("[Desktop Entry]\nType=Application\nName=" + Id + "\nExec=true %f\nMimeType=" +
                 Types + "\n").toUtf8());
  };
  Install("editor.desktop", "text/plain;");
  Install("ide.desktop", "text/x-pascal;");
  QFile Cache(System.filePath("applications/mimeinfo.cache"));
  ASSERT_TRUE(Cache.open(QIODevice::WriteOnly));
  Cache.write("[MIME Cache]\ntext/plain=editor.desktop;\ntext/x-pascal=ide.desktop;\n");
  Cache.close();
  const QByteArray DataDirs = qgetenv("XDG_DATA_DIRS");
  qputenv("XDG_DATA_DIRS", System.path().toLocal8Bit());
  const QString UserChoice = "[Default Applications]\ntext/x-pascal=editor.desktop;\n";
  // Without a choice of the user's, the IDE opens Pascal files (it lists
  // the type itself); with one, the user's choice does.
  for (const QString &Before : {QString(), UserChoice}) {
    QFile::remove(UserMimeAppsPath());
    if (!Before.isEmpty()) {
      QFile List(UserMimeAppsPath());
      ASSERT_TRUE(List.open(QIODevice::WriteOnly));
      List.write(Before.toUtf8());
    }
    const QString Expected = Before.isEmpty() ? "ide.desktop" : "editor.desktop";
    EXPECT_EQ(DefaultApplicationFor("text/x-pascal"), Expected);
    const QString Gio = GioDefault();
    if (!Gio.isEmpty()) {
      EXPECT_EQ(Gio, Expected) << "the lookup agrees with GIO";
    }

    RegisterShellVerb(TESSALINE_APP);
    EXPECT_EQ(DefaultApplicationFor("text/x-pascal"), Expected);
    if (!Gio.isEmpty()) {
      EXPECT_EQ(GioDefault(), Expected) << Before.toStdString();
    }
    if (!Before.isEmpty()) {
      EXPECT_EQ(Read(UserMimeAppsPath()), Before) << "the user's choice is left alone";
    }

    UnregisterShellVerb();
    EXPECT_EQ(Read(UserMimeAppsPath()), Before) << "as it was";
    EXPECT_EQ(QFile::exists(UserMimeAppsPath()), !Before.isEmpty());
    EXPECT_TRUE(QDir(Home.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot))
        << "no cache, no empty folders";
  }
  qputenv("XDG_DATA_DIRS", DataDirs);
}

} // namespace
#endif
