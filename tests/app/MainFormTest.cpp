// The main window, driven as a user would, on the offscreen platform: the
// questions and dialogs are answered in advance through the prompt seam,
// the clock is scripted, and "open" requests are caught.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <deque>
#include <map>
#include <thread>

#include "Application.h"
#include "Clipboard.h"
#include "FileIO.h"
#include "MainForm.h"
#include "QuitRequest.h"
#include "TextUtils.h"
#include "Ticks.h"
#include "UrlCatcher.h"
#include "ui_MainForm.h"
#ifndef Q_OS_WIN
#include "OrdinaryUser.h"
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

std::string ReadAll(const QString &FileName) {
  QFile File(FileName);
  File.open(QIODevice::ReadOnly);
  return File.readAll().toStdString();
}

void WriteAll(const QString &FileName, const std::string &Bytes) {
  QFile File(FileName);
  File.open(QIODevice::WriteOnly | QIODevice::Truncate);
  File.write(Bytes.data(), static_cast<qint64>(Bytes.size()));
}

// The page the engine makes of Source with the window's design texts.
std::string PageOf(const std::string &Source) {
  TTessaline Converter;
  Converter.SetTitle("Howdy !!! Greetings from Tessaline :-)");
  Converter.SetPlain(Source);
  Converter.Convert();
  return Converter.HTML();
}

class MainForm : public testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Dir.isValid());
    PromptHandler() = [this](const TPrompt &Prompt) {
      Prompts.push_back(Prompt);
      const bool Answer = Answers.empty() ? false : Answers.front();
      if (!Answers.empty())
        Answers.pop_front();
      return Answer;
    };
    FileDialogHandler() = [this](const TFileDialogOptions &Options) {
      Dialogs.push_back(Options);
      return DialogAnswer;
    };
    TickSource() = [this] {
      const int64_t Now = Ticks.empty() ? 0 : Ticks.front();
      if (!Ticks.empty())
        Ticks.pop_front();
      return Now;
    };
    QGuiApplication::clipboard()->clear();
  }
  void TearDown() override {
    TickSource() = [] { return int64_t(0); };
  }
  // A file in the test's folder, named as users name it: on Windows with a
  // drive letter and backslashes.
  QString Path(const QString &Name) const { return QDir::toNativeSeparators(Dir.filePath(Name)); }

  QTemporaryDir Dir;
  std::vector<TPrompt> Prompts;
  std::deque<bool> Answers;
  std::vector<TFileDialogOptions> Dialogs;
  QString DialogAnswer;
  std::deque<int64_t> Ticks;
};

TEST_F(MainForm, ControlsHaveTheirCaptionsHintsAndStartStates) {
  TForm1 Form;
  const auto *U = Form.Controls();
  EXPECT_EQ(Form.windowTitle(), "Tessaline - PAS to HTML Converter");
  EXPECT_EQ(Form.size(), QSize(482, 410));
  struct {
    QToolButton *Button;
    const char *Caption, *Hint;
    bool Enabled;
  } Buttons[] = {{U->FileToFile, "File to file", "From File to File", true},
                 {U->ClipToFile, "Clip to file", "From Clipboard to File", true},
                 {U->CliptoClip, "Clip to clip", "From clipboard to Clipboard", true},
                 {U->StopBtn, "Ooops !", "Stop the conversion", false},
                 {U->ViewBtn, "View result", "View conversion result in browser", false},
                 {U->MyHomeBtn, "Homepage", "See my homepage ?", true},
                 {U->WhatBtn, "What", "Hmmmm...", true}};
  for (const auto &B : Buttons) {
    EXPECT_EQ(B.Button->text(), B.Caption);
    EXPECT_EQ(B.Button->toolTip(), B.Hint);
    EXPECT_EQ(B.Button->isEnabled(), B.Enabled) << B.Caption;
    EXPECT_EQ(B.Button->iconSize(), QSize(32, 32));
    EXPECT_FALSE(B.Button->icon().isNull()) << B.Caption;
  }
  EXPECT_EQ(U->Pages->currentWidget(), U->TabSheet1);
  EXPECT_EQ(U->Pages->tabText(0), "Files");
  EXPECT_EQ(U->Pages->tabText(1), "HTML Properties");
  EXPECT_EQ(U->Pages->tabText(2), "Colors");
  EXPECT_EQ(U->Label4->buddy(), U->Input);
  EXPECT_EQ(U->Label5->buddy(), U->Output);
  EXPECT_EQ(U->Label4->text(), "&Source File");
  EXPECT_TRUE(U->ConfirmOvr->isChecked());
  EXPECT_EQ(U->ConfirmOvr->text(), "Confirm overwite when output file exists");
  EXPECT_EQ(U->PageTitle->toPlainText(), "Howdy !!! Greetings from Tessaline :-)");
  EXPECT_EQ(U->BodyStart->toPlainText(), "");
  EXPECT_EQ(U->BodyEnd->toPlainText(), "");
  EXPECT_EQ(U->ElementList->currentRow(), 0);
  EXPECT_EQ(U->ElementList->count(), 10);
  EXPECT_EQ(U->ElementList->item(8)->text(), "Directive");
  EXPECT_EQ(U->ElementList->item(9)->text(), "Inactive code");
  EXPECT_EQ(U->DialectLabel->buddy(), U->Dialect);
  EXPECT_EQ(U->DefinesLabel->text(), "Defi&nes");
  EXPECT_EQ(U->DefinesLabel->buddy(), U->Defines);
  EXPECT_EQ(U->Defines->text(), "");
  EXPECT_EQ(U->Dialect->currentText(), "Classic");
  EXPECT_EQ(U->Dialect->count(), 2);
  EXPECT_EQ(U->ColorSpeedSetting->count(), 4);
  EXPECT_EQ(U->Register->toolTip(), "Register Context Menu");
  EXPECT_EQ(Form.ProgressBar()->geometry(), QRect(0, 2, 150, 17));
  EXPECT_EQ(Form.LastTarget(), ckNone);
  EXPECT_EQ(TempFileName(), QDir::toNativeSeparators(QDir::tempPath() + "/$tessalinetmp.htm"));
}

// An access key that two controls shown together share only moves the
// focus between them: a box never gets ticked, a button never pressed.
TEST_F(MainForm, EveryPagesAccessKeysAreUnique) {
  TForm1 Form;
  const auto *U = Form.Controls();
  for (int Page = 0; Page < U->Pages->count(); ++Page) {
    U->Pages->setCurrentIndex(Page);
    std::map<QKeySequence, QString> Owners;
    for (QWidget *Control : Form.findChildren<QWidget *>()) {
      if (!Control->isVisibleTo(&Form))
        continue;
      QStringList Captions;
      if (const auto *Label = qobject_cast<QLabel *>(Control); Label && Label->buddy())
        Captions << Label->text();
      else if (const auto *Button = qobject_cast<QAbstractButton *>(Control))
        Captions << Button->text();
      else if (const auto *Group = qobject_cast<QGroupBox *>(Control))
        Captions << Group->title();
      else if (const auto *Tabs = qobject_cast<QTabBar *>(Control))
        for (int Tab = 0; Tab < Tabs->count(); ++Tab)
          Captions << Tabs->tabText(Tab);
      for (const QString &Caption : Captions) {
        const QKeySequence Key = QKeySequence::mnemonic(Caption);
        if (Key.isEmpty())
          continue;
        const auto [Owner, New] = Owners.emplace(Key, Caption);
        EXPECT_TRUE(New) << U->Pages->tabText(Page).toStdString() << ": \""
                         << Caption.toStdString() << "\" and \"" << Owner->second.toStdString()
                         << "\" share " << Key.toString().toStdString();
      }
    }
    EXPECT_GE(Owners.size(), 3u) << U->Pages->tabText(Page).toStdString();
  }
}

TEST_F(MainForm, FieldsStretchAndBrowseButtonsKeepToTheRightEdge) {
  TForm1 Form;
  Form.show();
  const auto *U = Form.Controls();
  const int Gap = U->TabSheet1->width() - U->SpeedButton1->geometry().right();
  const int InputWidth = U->Input->width();
  Form.resize(700, 500);
  QCoreApplication::processEvents();
  EXPECT_EQ(U->Input->width(), InputWidth + 700 - 482);
  EXPECT_EQ(U->TabSheet1->width() - U->SpeedButton1->geometry().right(), Gap);
  EXPECT_EQ(U->TabSheet1->width() - U->SpeedButton2->geometry().right(), Gap);
}

TEST_F(MainForm, FileToFileWritesTheEnginesPageAndReports) {
  WriteAll(Path("unit1.pas"), "begin x := 'a'; end;");
  TForm1 Form;
  Form.Controls()->Input->setText(Path("unit1.pas"));
  Form.Controls()->Output->setText(Path("unit1.html"));
  Ticks = {1000, 1250};
  QTest::mouseClick(Form.Controls()->FileToFile, Qt::LeftButton);
  const std::string Page = PageOf("begin x := 'a'; end;");
  EXPECT_EQ(ReadAll(Path("unit1.html")), Page);
  EXPECT_EQ(Form.StatusTag(), "F > F");
  EXPECT_EQ(Form.StatusText(), QString::fromStdString("Time: 250 ms, Size: 20.00 Bytes > " +
                                                      FormatByteSize(int(Page.size()))));
  EXPECT_TRUE(Form.Controls()->ViewBtn->isEnabled());
  EXPECT_TRUE(Form.Controls()->FileToFile->isEnabled());
  EXPECT_FALSE(Form.Controls()->StopBtn->isEnabled());
  EXPECT_EQ(Form.LastTarget(), ckFile);
  EXPECT_EQ(Form.LastOutputFile(), Path("unit1.html"));
  EXPECT_TRUE(Prompts.empty());
}

TEST_F(MainForm, ClipboardCommandsCarryTheTextBothWays) {
  // The classic page takes the text in the locale's encoding: UTF-8 on
  // Linux, the ANSI code page on Windows (which holds these letters).
  const QString Source = QString::fromUtf8("{ Grüße } x := 'é';");
  const std::string Bytes = Source.toLocal8Bit().toStdString();
  QGuiApplication::clipboard()->setText(Source);
  TForm1 Form;
  Form.Controls()->Output->setText(Path("clip.html"));
  QTest::mouseClick(Form.Controls()->ClipToFile, Qt::LeftButton);
  EXPECT_EQ(ReadAll(Path("clip.html")), PageOf(Bytes));
  EXPECT_EQ(Form.StatusTag(), "C > F");
  QTest::mouseClick(Form.Controls()->CliptoClip, Qt::LeftButton);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
            QString::fromLocal8Bit(PageOf(Bytes)).toStdString());
  EXPECT_EQ(Form.StatusTag(), "C > C");
  EXPECT_EQ(Form.LastTarget(), ckClipboard);
  EXPECT_TRUE(Form.StatusText().contains(
      QString::fromStdString("Size: " + FormatByteSize(int(Bytes.size())) + " > ")));
  // An empty clipboard is an empty source, not a failure.
  QGuiApplication::clipboard()->clear();
  QTest::mouseClick(Form.Controls()->CliptoClip, Qt::LeftButton);
  EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), PageOf(""));
  EXPECT_TRUE(Form.Controls()->ViewBtn->isEnabled());
}

TEST_F(MainForm, OverwriteQuestionDecidesAndCanBeSwitchedOff) {
  WriteAll(Path("a.pas"), "x");
  WriteAll(Path("a.html"), "old page");
  TForm1 Form;
  Form.Controls()->Input->setText(Path("a.pas"));
  Form.Controls()->Output->setText(Path("a.html"));
  Answers = {false};
  QTest::mouseClick(Form.Controls()->FileToFile, Qt::LeftButton);
  ASSERT_EQ(Prompts.size(), 1u);
  EXPECT_EQ(Prompts[0].Kind, TPromptKind::Confirmation);
  EXPECT_EQ(Prompts[0].Title, "Confirm");
  EXPECT_EQ(Prompts[0].Text, "Overwrite output file ?");
  EXPECT_EQ(ReadAll(Path("a.html")), "old page");
  EXPECT_EQ(Form.StatusText(), "");
  EXPECT_FALSE(Form.Controls()->ViewBtn->isEnabled());
  EXPECT_TRUE(Form.Controls()->FileToFile->isEnabled());
  EXPECT_EQ(Form.LastTarget(), ckNone);
  Answers = {true};
  QTest::mouseClick(Form.Controls()->FileToFile, Qt::LeftButton);
  EXPECT_EQ(ReadAll(Path("a.html")), PageOf("x"));
  WriteAll(Path("a.html"), "old page");
  Form.Controls()->ConfirmOvr->setChecked(false);
  QTest::mouseClick(Form.Controls()->FileToFile, Qt::LeftButton);
  EXPECT_EQ(Prompts.size(), 2u) << "no question when confirmation is off";
  EXPECT_EQ(ReadAll(Path("a.html")), PageOf("x"));
}

// The real overwrite question, once: "&Yes" is the default and answers
// Return, Escape answers "&No". A timer answers the box as a user would, and
// closes it should the keys not, so the test never waits.
TEST_F(MainForm, RealOverwriteQuestionBox) {
  PromptHandler() = ShowMessageBox;
  WriteAll(Path("a.pas"), "x");
  TForm1 Form;
  Form.Controls()->Input->setText(Path("a.pas"));
  Form.Controls()->Output->setText(Path("a.html"));
  for (const auto &[Key, Replaced] : {std::pair{Qt::Key_Escape, false}, {Qt::Key_Return, true}}) {
    WriteAll(Path("a.html"), "old page");
    QString Seen = "no box";
    int Ticks = 0;
    QTimer User;
    QObject::connect(&User, &QTimer::timeout, [&, Key = Key] {
      auto *Box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
      if (Box && Seen == "no box") {
        Seen = QStringList{Box->windowTitle(), Box->text(), Box->defaultButton()->text(),
                           Box->escapeButton()
                               ? qobject_cast<QPushButton *>(Box->escapeButton())->text()
                               : "",
                           Box->icon() == QMessageBox::Question ? "?" : "no icon"}
                   .join('|');
        QTest::keyClick(Box, Key);
      } else if (Box && ++Ticks > 500) {
        Box->reject();
      }
    });
    User.start(10);
    QTest::mouseClick(Form.Controls()->FileToFile, Qt::LeftButton);
    User.stop();
    EXPECT_EQ(Seen, "Confirm|Overwrite output file ?|&Yes|&No|?");
    EXPECT_EQ(ReadAll(Path("a.html")), Replaced ? PageOf("x") : "old page") << Key;
  }
}

TEST_F(MainForm, StopDuringARunWritesNothing) {
  std::string Source;
  while (Source.size() < 2'000'000)
    Source += "begin x := y; end;\n";
  WriteAll(Path("big.pas"), Source);
  WriteAll(Path("big.html"), "old page");
  TForm1 Form;
  Form.Controls()->Input->setText(Path("big.pas"));
  Form.Controls()->Output->setText(Path("big.html"));
  Form.Controls()->ConfirmOvr->setChecked(false);
  // The stop click waits in the queue until the run lets events through.
  QTimer::singleShot(0, Form.Controls()->StopBtn,
                     [&Form] { QTest::mouseClick(Form.Controls()->StopBtn, Qt::LeftButton); });
  QTest::mouseClick(Form.Controls()->FileToFile, Qt::LeftButton);
  EXPECT_EQ(ReadAll(Path("big.html")), "old page");
  EXPECT_TRUE(Form.StatusText().endsWith("> 0.00 Bytes")) << Form.StatusText().toStdString();
  EXPECT_FALSE(Form.Controls()->ViewBtn->isEnabled());
  EXPECT_EQ(Form.LastTarget(), ckFile);
  EXPECT_EQ(Form.ProgressBar()->value(), 0);
}

// "File to file" onto a read-only page: refused as a plain write would be,
// the page kept. Under root, who may write any file, the window runs in a
// child that has become the ordinary user "nobody"; on Windows the page is
// read-only by its attribute, which binds everyone.
TEST_F(MainForm, PageNobodyMayReplaceIsReplaced) {
  WriteAll(Path("a.pas"), "x");
  WriteAll(Path("a.html"), "old page");
#ifdef Q_OS_WIN
  ASSERT_TRUE(QFile::setPermissions(Path("a.html"), QFile::ReadOwner));
  {
    TForm1 Form;
    Form.Controls()->Input->setText(Path("a.pas"));
    Form.Controls()->Output->setText(Path("a.html"));
    Form.Controls()->ConfirmOvr->setChecked(false);
    QTest::mouseClick(Form.Controls()->FileToFile, Qt::LeftButton);
    ASSERT_EQ(Prompts.size(), 1u);
    EXPECT_EQ(Prompts[0].Text, "Cannot create file " + Path("a.html"));
  }
  EXPECT_EQ(ReadAll(Path("a.html")), "old page");
  QFile::setPermissions(Path("a.html"), QFile::ReadOwner | QFile::WriteOwner);
#else
  ::chmod(Path("a.html").toLocal8Bit().constData(), 0444);
  for (const char *Name : {"", "a.pas", "a.html"})
    GiveToOrdinaryUser(Path(Name).toStdString());
  LetOrdinaryUserThrough(Dir.path().toStdString());
  EXPECT_EQ("", AsOrdinaryUser([&]() -> std::string {
              TForm1 Form;
              Form.Controls()->Input->setText(Path("a.pas"));
              Form.Controls()->Output->setText(Path("a.html"));
              Form.Controls()->ConfirmOvr->setChecked(false);
              QTest::mouseClick(Form.Controls()->FileToFile, Qt::LeftButton);
              const std::string Shown =
                  Prompts.empty() ? "nothing" : Prompts[0].Text.toStdString();
              return Shown == "Cannot create file " + Path("a.html").toStdString() ? "" : Shown;
            }));
  EXPECT_EQ(ReadAll(Path("a.html")), "old page");
#endif
}

TEST_F(MainForm, SourceReplacedByItsOwnPage) {
  // The output field naming the source, also spelled another way, with no
  // overwrite question to stop it.
  WriteAll(Path("a.pas"), "begin end.");
  for (const QString &Output : {Path("a.pas"), Dir.path() + "/./a.pas"}) {
    Prompts.clear();
    TForm1 Form;
    Form.Controls()->ConfirmOvr->setChecked(false);
    Form.Controls()->Input->setText(Path("a.pas"));
    Form.Controls()->Output->setText(Output);
    QTest::mouseClick(Form.Controls()->FileToFile, Qt::LeftButton);
    ASSERT_EQ(Prompts.size(), 1u);
    EXPECT_EQ(Prompts[0].Kind, TPromptKind::Error);
    EXPECT_EQ(Prompts[0].Text, "The page would replace its own source " + Path("a.pas"));
    EXPECT_EQ(ReadAll(Path("a.pas")), "begin end.");
  }
}

TEST_F(MainForm, MissingSourceIsReportedAndChangesNothingElse) {
  TForm1 Form;
  Form.Controls()->Input->setText(Path("missing.pas"));
  Form.Controls()->Output->setText(Path("missing.html"));
  QTest::mouseClick(Form.Controls()->FileToFile, Qt::LeftButton);
  ASSERT_EQ(Prompts.size(), 1u);
  EXPECT_EQ(Prompts[0].Kind, TPromptKind::Error);
  EXPECT_EQ(Prompts[0].Text, "Cannot open file " + Path("missing.pas"));
  EXPECT_EQ(Form.StatusText(), Prompts[0].Text);
  EXPECT_TRUE(Form.Controls()->FileToFile->isEnabled());
  EXPECT_TRUE(Form.Controls()->CliptoClip->isEnabled());
  EXPECT_FALSE(Form.Controls()->StopBtn->isEnabled());
  EXPECT_EQ(Form.LastTarget(), ckNone);
  EXPECT_FALSE(QFile::exists(Path("missing.html")));
  // An empty field is no file either.
  Form.Controls()->Input->clear();
  QTest::mouseClick(Form.Controls()->FileToFile, Qt::LeftButton);
  EXPECT_EQ(Prompts.back().Text, "Cannot open file ");
}

#ifndef Q_OS_WIN // Windows has no named pipes among its files
// A pipe as the source once hung "File to file" in its opening, where
// "Ooops !" could not reach it, and the command line with no window shown;
// a failed command left "Processing..." in the status bar.
TEST_F(MainForm, FifoSourceFreezesTheWindowAndProcessingStays) {
  const QString Fifo = Path("pipe.pas");
  ASSERT_EQ(::mkfifo(QFile::encodeName(Fifo).constData(), 0600), 0);
  // Should the window open the pipe after all, a writer that comes and
  // goes lets it go on, and the test fails instead of hanging.
  struct TWriter {
    std::atomic<bool> Done{false};
    std::thread Thread;
    ~TWriter() {
      Done = true;
      Thread.join();
    }
  } Writer;
  Writer.Thread = std::thread([&] {
    for (int K = 0; K < 500 && !Writer.Done; ++K) {
      const int File = ::open(QFile::encodeName(Fifo).constData(), O_WRONLY | O_NONBLOCK);
      if (File >= 0)
        ::close(File);
      ::usleep(10000);
    }
  });
  const QString Refusal = "Cannot open file " + Fifo + ": it is not a regular file";
  {
    TForm1 Form;
    Form.Controls()->Input->setText(Fifo);
    Form.Controls()->Output->setText(Path("pipe.html"));
    QTest::mouseClick(Form.Controls()->FileToFile, Qt::LeftButton);
    ASSERT_EQ(Prompts.size(), 1u);
    EXPECT_EQ(Prompts[0].Text, Refusal);
    EXPECT_EQ(Form.StatusText(), Refusal);
    EXPECT_EQ(Form.LastTarget(), ckNone);
  }
  {
    TForm1 Form({Fifo});
    EXPECT_EQ(Prompts.back().Text, Refusal);
    EXPECT_EQ(RunUntilQuitRequest(), 0);
  }
  EXPECT_FALSE(QFile::exists(Path("pipe.html")));
}
#endif

TEST_F(MainForm, ReportSwitchesToSecondsAtOneThousandMilliseconds) {
  WriteAll(Path("t.pas"), "x");
  TForm1 Form;
  Form.Controls()->Input->setText(Path("t.pas"));
  Form.Controls()->Output->setText(Path("t.html"));
  Form.Controls()->ConfirmOvr->setChecked(false);
  Ticks = {5000, 5999};
  QTest::mouseClick(Form.Controls()->FileToFile, Qt::LeftButton);
  EXPECT_TRUE(Form.StatusText().startsWith("Time: 999 ms, Size: 1.00 Bytes > "));
  Ticks = {5000, 6000};
  QTest::mouseClick(Form.Controls()->FileToFile, Qt::LeftButton);
  EXPECT_TRUE(Form.StatusText().startsWith("Total Time: 1.00 s, Size: "));
}

TEST_F(MainForm, ViewOpensTheResultAndTheClipboardsCurrentText) {
  TUrlCatcher Catcher;
  QGuiApplication::clipboard()->setText("x");
  TForm1 Form;
  QTest::mouseClick(Form.Controls()->CliptoClip, Qt::LeftButton);
  QGuiApplication::clipboard()->setText("other\ntext\r\nhere\r");
  QTest::mouseClick(Form.Controls()->ViewBtn, Qt::LeftButton);
  ASSERT_EQ(Catcher.Opened.size(), 1u);
  EXPECT_EQ(Catcher.Opened[0], QUrl::fromLocalFile(TempFileName()));
  EXPECT_EQ(ReadAll(TempFileName()), "other\r\ntext\r\nhere\r\n");

  WriteAll(Path("v.pas"), "x");
  Form.Controls()->Input->setText(Path("v.pas"));
  Form.Controls()->Output->setText(Path("v.html"));
  QTest::mouseClick(Form.Controls()->FileToFile, Qt::LeftButton);
  QTest::mouseClick(Form.Controls()->ViewBtn, Qt::LeftButton);
  EXPECT_EQ(Catcher.Opened.back(), QUrl::fromLocalFile(Path("v.html")));
}

TEST_F(MainForm, TemporaryPageIsGoneWithTheWindow) {
  {
    TUrlCatcher Catcher;
    TForm1 Form;
    QTest::mouseClick(Form.Controls()->CliptoClip, Qt::LeftButton);
    QTest::mouseClick(Form.Controls()->ViewBtn, Qt::LeftButton);
    EXPECT_TRUE(QFile::exists(TempFileName()));
  }
  EXPECT_FALSE(QFile::exists(TempFileName()));
}

TEST_F(MainForm, BrowseButtonsStartInTheFieldsFolder) {
  TForm1 Form;
  DialogAnswer = Path("chosen.pas");
  QTest::mouseClick(Form.Controls()->SpeedButton1, Qt::LeftButton);
  ASSERT_EQ(Dialogs.size(), 1u);
  EXPECT_EQ(Dialogs[0].Title, "Open PAS File to convert");
  EXPECT_EQ(Dialogs[0].Directory, "") << "an empty field leaves the folder to the dialog";
  EXPECT_TRUE(Dialogs[0].FileMustExist);
  EXPECT_EQ(Form.Controls()->Input->text(), Path("chosen.pas"));
  QTest::mouseClick(Form.Controls()->SpeedButton1, Qt::LeftButton);
  EXPECT_EQ(Dialogs[1].Directory, QDir::toNativeSeparators(Dir.path() + "/"));
  DialogAnswer.clear(); // cancelled: the field keeps its name
  Form.Controls()->Output->setText(Path("sub/out.html"));
  QTest::mouseClick(Form.Controls()->SpeedButton2, Qt::LeftButton);
  EXPECT_EQ(Dialogs[2].Directory, Path("sub/"));
  EXPECT_EQ(Dialogs[2].DefaultSuffix, "htm");
  EXPECT_TRUE(Dialogs[2].ConfirmOverwrite);
  EXPECT_EQ(Form.Controls()->Output->text(), Path("sub/out.html"));
}

TEST_F(MainForm, AboutAndHomepageBoxes) {
  TForm1 Form;
  QTest::mouseClick(Form.Controls()->WhatBtn, Qt::LeftButton);
  QTest::mouseClick(Form.Controls()->MyHomeBtn, Qt::LeftButton);
  ASSERT_EQ(Prompts.size(), 2u);
  EXPECT_EQ(Prompts[0].Kind, TPromptKind::Information);
  EXPECT_EQ(Prompts[0].Title, "Information");
  EXPECT_TRUE(Prompts[0].Text.startsWith("Tessaline 1.03\r\nPAS source code to HTML File\r\n\r\n"));
  EXPECT_EQ(Prompts[1].Kind, TPromptKind::Plain);
  EXPECT_EQ(Prompts[1].Title, "Tessaline");
  EXPECT_TRUE(
      Prompts[1].Text.startsWith("Sorry I haven't made my homepage yet.... email me instead\r\n"));
}

TEST_F(MainForm, FirstShowKeepsTheWindowOnTheScreenOnce) {
  TForm1 Form;
  const QRect Screen = QGuiApplication::primaryScreen()->geometry();
  Form.move(Screen.width() - 100, 10);
  Form.show();
  // The frame is known, and checked, once the window is exposed.
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
  QCoreApplication::processEvents();
  EXPECT_EQ(Form.frameGeometry().right() + 1, Screen.width());
  Form.hide();
  Form.move(Screen.width() - 100, 10);
  Form.show();
  EXPECT_EQ(Form.frameGeometry().left(), Screen.width() - 100) << "only the first show moves it";
}

TEST_F(MainForm, CommandLineNamesThePageAfterTheSource) {
  const struct {
    const char *Source, *Page;
  } Cases[] = {
    {"/src/Unit1.pas", "/src/Unit1.html"},
    {"/src.d/README", "/src.d/README.html"},
    {"Unit1.PAS", "Unit1.html"},
#ifdef Q_OS_WIN
    {"C:\\dir.x\\file", "C:\\dir.x\\file.html"},
    {"C:\\some dir\\x.pas", "C:\\some dir\\x.html"},
    {"C:x.y\\z", "C:x.y\\z.html"},
    {"D:file", "D:file.html"},
#endif
  };
  for (const auto &Case : Cases)
    EXPECT_EQ(HtmlNameFor(Case.Source), Case.Page) << Case.Source;
}

// The name went through the ANSI code page on Windows, which turned every
// letter it lacks into "?": the page of C:\src\Модуль.pas was "C:\src\??????.html".
TEST_F(MainForm, PageNameLostLettersOutsideTheAnsiCodePage) {
  const QString Source = QString::fromUtf8("Модуль ドキュメント.pas");
  EXPECT_EQ(HtmlNameFor(Path(Source)), Path(QString::fromUtf8("Модуль ドキュメント.html")));
  WriteAll(Path(Source), "begin end.");
  {
    TForm1 Form({Path(Source)});
    EXPECT_EQ(RunUntilQuitRequest(), 0);
  }
  EXPECT_TRUE(Prompts.empty());
  EXPECT_EQ(ReadAll(Path(QString::fromUtf8("Модуль ドキュメント.html"))), PageOf("begin end."));
}

TEST_F(MainForm, CommandLineConvertsTheFirstArgumentAndQuits) {
  WriteAll(Path("Unit1.PAS"), "begin end.");
  {
    TForm1 Form({Path("Unit1.PAS"), Path("ignored.pas")});
    EXPECT_EQ(Form.Controls()->Output->text(), Path("Unit1.html"));
    EXPECT_EQ(ReadAll(Path("Unit1.html")), PageOf("begin end."));
    EXPECT_EQ(RunUntilQuitRequest(), 0);
  }
  // An existing page: the question comes, and No keeps the old page.
  WriteAll(Path("Unit1.html"), "old page");
  Answers = {false};
  {
    TForm1 Form({Path("Unit1.PAS")});
    EXPECT_EQ(Prompts.back().Text, "Overwrite output file ?");
    EXPECT_EQ(ReadAll(Path("Unit1.html")), "old page");
    EXPECT_EQ(QCoreApplication::exec(), 0);
  }
  // A missing source: reported, no page, and the program still ends.
  {
    TForm1 Form({Path("missing.pas")});
    EXPECT_EQ(Prompts.back().Kind, TPromptKind::Error);
    EXPECT_EQ(Prompts.back().Text, "Cannot open file " + Path("missing.pas"));
    EXPECT_EQ(QCoreApplication::exec(), 0);
  }
  EXPECT_FALSE(QFile::exists(Path("missing.html")));
}

TEST_F(MainForm, CommandLineFailureBoxIsSeenAndThenTheProgramEnds) {
  // A real box, as a user sees it: it runs a loop of its own until it is
  // dismissed, here after a moment.
  PromptHandler() = [this](const TPrompt &Prompt) {
    Prompts.push_back(Prompt);
    QMessageBox Box;
    QTimer::singleShot(200, &Box, &QMessageBox::accept);
    Box.exec();
    return Prompt.Kind == TPromptKind::Confirmation;
  };
  // A source that cannot be opened; a page that cannot be created (a
  // folder has its name).
  WriteAll(Path("y.pas"), "x");
  QDir(Dir.path()).mkdir("y.html");
  for (const char *Source : {"missing.pas", "y.pas"}) {
    TForm1 Form({Path(Source)});
    ASSERT_FALSE(Prompts.empty());
    EXPECT_EQ(Prompts.back().Kind, TPromptKind::Error);
    Form.show();
    EXPECT_EQ(RunUntilQuitRequest(), 0) << Source;
    Prompts.clear();
  }
}

TEST_F(MainForm, DialogFiltersListFilesQtCanMatch) {
  EXPECT_EQ(DialogNameFilters(TForm1::OpenPasDlg.Filter),
            QStringList({"Pascal Source (*.pas)", "Delphi Project (*.dpr)",
                         "Delphi Package (*.dpk)", "All Delphi Files (*.pas *.dpr *.dpk)",
                         "All Files (*)"}));
  EXPECT_EQ(DialogNameFilters(TForm1::OpenHTMLDlg.Filter),
            QStringList({"HTML Files (*.htm *.html)", "All Files (*)"}));
}

TEST_F(MainForm, TitlesAreTheCaptionsAlone) {
  // Qt appends an application display name, once one is set, to every
  // window title ("Confirm — Tessaline"); unset, it follows the name.
  QCoreApplication::setApplicationName("Renamed");
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Renamed");
  QCoreApplication::setApplicationName(ApplicationTitle);
}

TEST_F(MainForm, CtrlTabTurnsThePagesFromAnyControl) {
  TForm1 Form;
  Form.show();
  QApplication::setActiveWindow(&Form);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
  const auto *U = Form.Controls();
  U->Pages->setCurrentIndex(2);
  for (QWidget *From : std::initializer_list<QWidget *>{U->ColorSpeedSetting, U->FileToFile}) {
    From->setFocus();
    const int Page = U->Pages->currentIndex();
    QTest::keyClick(From, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(U->Pages->currentIndex(), (Page + 1) % 3) << From->objectName().toStdString();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                    Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(U->Pages->currentIndex(), Page);
  }
}

TEST_F(MainForm, ViewWithoutABrowserLauncherSaysSo) {
#ifdef Q_OS_WIN
  GTEST_SKIP() << "Windows opens pages through ShellExecute, with no launcher on the PATH to take away";
#endif
  const QByteArray Path = qgetenv("PATH");
  qputenv("PATH", Dir.path().toLocal8Bit()); // no xdg-open there
  TForm1 Form;
  QTest::mouseClick(Form.Controls()->CliptoClip, Qt::LeftButton);
  QTest::mouseClick(Form.Controls()->ViewBtn, Qt::LeftButton);
  qputenv("PATH", Path);
  ASSERT_EQ(Prompts.size(), 1u);
  EXPECT_EQ(Prompts[0].Kind, TPromptKind::Error);
  EXPECT_TRUE(Prompts[0].Text.contains("xdg-open")) << Prompts[0].Text.toStdString();
}

// Drops Data on Target as a user's drag would, and lets the drop's
// conversion run.
void Drop(QWidget *Target, const QMimeData &Data) {
  QDragEnterEvent Enter(QPoint(5, 5), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Target, &Enter);
  ASSERT_TRUE(Enter.isAccepted());
  QDropEvent Drop(QPointF(5, 5), Qt::CopyAction, &Data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(Target, &Drop);
  QCoreApplication::processEvents();
}

// A file dropped from Explorer filled the fields as "C:/Users/me/a.pas",
// not as Windows users write its name.
TEST_F(MainForm, DroppedFileNamesHadForwardSlashes) {
  WriteAll(Path("a.pas"), "a");
  TForm1 Form;
  QMimeData One;
  One.setUrls({QUrl::fromLocalFile(Dir.filePath("a.pas"))});
  Drop(&Form, One);
  EXPECT_EQ(Form.Controls()->Input->text(), Path("a.pas"));
  EXPECT_EQ(Form.Controls()->Output->text(), Path("a.html"));
}

TEST_F(MainForm, DroppedFilesAndTextAreConverted) {
  WriteAll(Path("a.pas"), "a");
  WriteAll(Path("b.pas"), "b");
  TForm1 Form;
  const auto *U = Form.Controls();
  U->ConfirmOvr->setChecked(false);
  QMimeData One, Two, Text;
  One.setUrls({QUrl::fromLocalFile(Path("a.pas"))});
  Two.setUrls({QUrl::fromLocalFile(Path("b.pas")), QUrl::fromLocalFile(Path("a.pas"))});
  Text.setText("begin end.");
  // One file on the window: the fields only.
  Drop(&Form, One);
  EXPECT_EQ(U->Input->text(), Path("a.pas"));
  EXPECT_EQ(U->Output->text(), Path("a.html"));
  EXPECT_FALSE(QFile::exists(Path("a.html")));
  // On "File to file": converted at once.
  Drop(U->FileToFile, One);
  EXPECT_EQ(ReadAll(Path("a.html")), PageOf("a"));
  // Several: the first, and a word about the others.
  Drop(&Form, Two);
  EXPECT_EQ(ReadAll(Path("b.html")), PageOf("b"));
  ASSERT_EQ(Prompts.size(), 1u);
  EXPECT_TRUE(Prompts[0].Text.startsWith("2 files were dropped; only the first was converted"));
  // Text: onto the clipboard, or on "Clip to file" into the output file.
  Drop(&Form, Text);
  EXPECT_EQ(ClipboardText(), PageOf("begin end."));
  Drop(U->ClipToFile, Text);
  EXPECT_EQ(ReadAll(Path("b.html")), PageOf("begin end."));
  EXPECT_EQ(Form.StatusTag(), "T > F");
}

// Whether the text view shows Text in italics.
bool ItalicIn(const QTextBrowser *View, const QString &Text) {
  QTextCursor At = View->document()->find(Text);
  return !At.isNull() && At.charFormat().fontItalic();
}

TEST_F(MainForm, PreviewsShowTheLastPageAndTheSchemeAsEdited) {
  QGuiApplication::clipboard()->setText("{ note } begin end.");
  {
    TForm1 Form;
    const auto *U = Form.Controls();
    Form.show();
    EXPECT_FALSE(U->Preview->isVisible()) << "an option, off at first";
    U->ShowPreview->click();
    EXPECT_TRUE(U->Preview->isVisible());
    QTest::mouseClick(U->CliptoClip, Qt::LeftButton);
    EXPECT_EQ(ClipboardText(), PageOf("{ note } begin end.")) << "the page is not changed";
    EXPECT_TRUE(ItalicIn(U->Preview, "{ note }"));
    // The sample follows every change of the scheme.
    U->Pages->setCurrentWidget(U->TabSheet3);
    U->ElementList->setCurrentRow(heComment);
    EXPECT_TRUE(ItalicIn(U->ColorSample, "{ Sample }"));
    U->Italic->click();
    EXPECT_FALSE(ItalicIn(U->ColorSample, "{ Sample }"));
    Form.close();
  }
  TForm1 Form;
  Form.show();
  EXPECT_TRUE(Form.Controls()->Preview->isVisible()) << "remembered";
}

} // namespace

namespace {

TEST_F(MainForm, ClipToClipOffersHtmlAndRtfAndTheChosenFormatIsWritten) {
  const std::string Source = "x := 'a'; { c }";
  QGuiApplication::clipboard()->setText(QString::fromStdString(Source));
  TForm1 Form;
  QTest::mouseClick(Form.Controls()->CliptoClip, Qt::LeftButton);
  const QMimeData *Data = QGuiApplication::clipboard()->mimeData();
  ASSERT_NE(Data, nullptr);
  EXPECT_EQ(Data->text().toStdString(), PageOf(Source)) << "plain editors still get the HTML";
#ifdef Q_OS_WIN
  // "HTML Format" marks the body's content as the fragment to paste.
  const std::string Whole = PageOf(Source);
  const size_t Start = Whole.find('>', Whole.find("<BODY")) + 1, End = Whole.rfind("</BODY>");
  EXPECT_EQ(Data->html().toStdString(), Whole.substr(0, Start) + "<!--StartFragment-->" +
                                            Whole.substr(Start, End - Start) +
                                            "<!--EndFragment-->" + Whole.substr(End));
#else
  EXPECT_EQ(Data->html().toStdString(), PageOf(Source));
#endif
  EXPECT_TRUE(Data->data("text/rtf").startsWith("{\\rtf1")) << Data->formats().join(' ').toStdString();
  EXPECT_TRUE(Data->data("text/rtf").contains("{\\cf6 'a'}"));

  EXPECT_FALSE(Form.Controls()->LineNumbers->isEnabled()) << "the classic page has none";
  Form.Controls()->PageFormat->setCurrentText("HTML5");
  EXPECT_TRUE(Form.Controls()->LineNumbers->isEnabled());
  Form.Controls()->LineNumbers->setChecked(true);
  Form.Controls()->DarkScheme->setCurrentText("Ocean");
  Form.Controls()->Output->setText(Path("clip.html"));
  QGuiApplication::clipboard()->setText(QString::fromStdString(Source));
  QTest::mouseClick(Form.Controls()->ClipToFile, Qt::LeftButton);
  const std::string Page = ReadAll(Path("clip.html"));
  EXPECT_TRUE(Page.starts_with("<!DOCTYPE html>\n")) << Page;
  EXPECT_NE(Page.find("id=\"L1\""), std::string::npos) << Page;
  EXPECT_NE(Page.find("prefers-color-scheme: dark"), std::string::npos) << Page;
}

} // namespace
