// The window's placement and field values across restarts, in a settings
// store of the test's own (set up for every test by the test main).
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "ColorScheme.h"
#include "FormStorage.h"
#include "MainForm.h"
#include "QuitRequest.h"
#include "RegIniFile.h"
#include "StoredSettings.h"
#include "ui_MainForm.h"
#ifndef Q_OS_WIN
#include "OrdinaryUser.h"
#endif

namespace {

class FormStorage : public testing::Test {
protected:
  void SetUp() override {
    PromptHandler() = [this](const TPrompt &Prompt) {
      Prompts.push_back(Prompt);
      return false;
    };
  }
  QString Value(const QString &Key) { return StoredValue(Key); }
  bool HasSection(const QString &Section) { return TRegIniFile().SectionExists(Section); }
  void WriteIni(const QByteArray &Text) { WriteStoredSettings(Text); }
  static void Settle() {
    for (int K = 0; K < 5; ++K)
      QCoreApplication::processEvents();
  }
  QString Suffix() const { return TFormPlacement::ScreenSizeSuffix(); }
  std::vector<TPrompt> Prompts;
};

TEST_F(FormStorage, FirstCloseWritesTheWholeLayout) {
  QRect Frame;
  {
    TForm1 Form;
    Form.show();
    Settle();
    EXPECT_EQ(Form.size(), QSize(482, 410));
    EXPECT_EQ(Form.windowHandle()->minimumSize(), QSize(530, 420));
    Frame = Form.geometry(); // without the frame, which would add up at each restart
    Form.close();
  }
  EXPECT_TRUE(Prompts.empty());
  const QRect Screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(Suffix(), QStringLiteral("(%1x%2)").arg(Screen.width()).arg(Screen.height()));
  // The file as QSettings lays it out: sections and names sorted, "(" and
  // ")" in names escaped, texts with commas quoted. The panels were never
  // shown: their design heights are stored.
  const QString Rect = QStringLiteral("\"%1,%2,%3,%4\"")
                           .arg(Frame.left())
                           .arg(Frame.top())
                           .arg(Frame.left() + Frame.width())
                           .arg(Frame.top() + Frame.height());
  const QString Size = QStringLiteral("%28%1x%2%29").arg(Screen.width()).arg(Screen.height());
  const QString Expected = QStringLiteral("[Highlight]\n"
                                          "Assembler=\"0,16777215,,1,1,7,0\"\n"
                                          "ColorSpeedSetting=0\n"
                                          "Comment=\"8388608,16777215,I,0,1,1,0\"\n"
                                          "Defines=\n"
                                          "Dialect=0\n"
                                          "Directive=\"8421376,16777215,,0,1,8,0\"\n"
                                          "Identifier=\"0,16777215,,1,1,3,0\"\n"
                                          "Inactive=\"8421504,16777215,,0,1,9,0\"\n"
                                          "Number=\"0,16777215,,1,1,6,0\"\n"
                                          "Reserved_word=\"0,16777215,B,0,1,2,0\"\n"
                                          "String=\"16711680,16777215,,0,1,5,0\"\n"
                                          "Symbol=\"0,16777215,,1,1,4,0\"\n"
                                          "Whitespace_%28BG%29=\"16777215,16777215,,1,1,0,0\"\n"
                                          "\n"
                                          "[MainForms]\n"
                                          "ConfirmOvr_Checked=True\n"
                                          "DarkScheme_Text=None\n"
                                          "Flags=0\n"
                                          "FooterPanel_Height=81\n"
                                          "FormVersion=0\n"
                                          "Input_Text=\n"
                                          "LineNumbers_Checked=False\n"
                                          "MinMaxPos=\"-1,-1,-1,-1\"\n"
                                          "MinMaxPos") +
                           Size + "=\"-1,-1,-1,-1\"\nNormPos=" + Rect + "\nNormPos" + Size + "=" +
                           Rect +
                           QStringLiteral("\n"
                                          "Output_Text=\n"
                                          "PageFormat_Text=Classic\n"
                                          "PixelsPerInch=%1\n"
                                          "ShowCmd=1\n"
                                          "ShowPreview_Checked=False\n"
                                          "TitlePanel_Height=49\n"
                                          "Visible=0\n"
                                          "\n"
                                          "[MainForms.PageTitle_Lines]\n"
                                          "Count=1\n"
                                          "Item0=Howdy !!! Greetings from Tessaline :-)\n")
                               .arg(TFormPlacement::PixelsPerInch());
  EXPECT_EQ(StoredSettingsText().toStdString(), Expected.toStdString());
}

TEST_F(FormStorage, PanelsOnAPageNotYetShownKeepTheirHeights) {
  // Restored heights wait for the page's first layout, and a close before
  // it stores them unchanged.
  WriteIni("[MainForms]\nTitlePanel_Height=60\nFooterPanel_Height=100\n");
  {
    TForm1 Form;
    Form.show();
    Settle();
    Form.close();
  }
  EXPECT_EQ(Value("MainForms/TitlePanel_Height"), "60");
  EXPECT_EQ(Value("MainForms/FooterPanel_Height"), "100");
  TForm1 Form;
  Form.show();
  Settle();
  auto *U = Form.Controls();
  U->Pages->setCurrentWidget(U->TabSheet2);
  Settle();
  EXPECT_EQ(U->TitlePanel->height(), 60);
  EXPECT_EQ(U->FooterPanel->height(), 100);
  Form.resize(Form.width(), Form.height() + 40);
  Settle();
  EXPECT_EQ(U->TitlePanel->height(), 60) << "the middle panel takes what the window gains";
  EXPECT_EQ(U->FooterPanel->height(), 100);
}

TEST_F(FormStorage, FieldsComeBackTrimmedAndMemosWhole) {
  int TitleHeight = 0;
  {
    TForm1 Form;
    Form.show();
    Settle();
    auto *U = Form.Controls();
    U->Input->setText("  /src/unit1.pas \t");
    U->Output->setText(" /out/unit1.html");
    U->ConfirmOvr->setChecked(false);
    U->BodyStart->setPlainText("  <H1>x</H1>  \n\nlast ");
    U->PageTitle->clear();
    // The user drags the title panel's splitter, then goes back to Files.
    U->Pages->setCurrentWidget(U->TabSheet2);
    Settle();
    U->Splitter1->setSizes({90, U->Splitter1->sizes()[1] - 41});
    TitleHeight = U->TitlePanel->height();
    EXPECT_EQ(TitleHeight, 90);
    U->Pages->setCurrentWidget(U->TabSheet1);
    Form.close();
  }
  EXPECT_FALSE(HasSection("MainForms.PageTitle_Lines")) << "an emptied memo has no section";
  EXPECT_EQ(Value("MainForms.BodyStart_Lines/Count"), "3");
  TForm1 Form;
  Form.show();
  Settle();
  auto *U = Form.Controls();
  EXPECT_EQ(U->Input->text(), "/src/unit1.pas");
  EXPECT_EQ(U->Output->text(), "/out/unit1.html");
  EXPECT_FALSE(U->ConfirmOvr->isChecked());
  EXPECT_EQ(U->BodyStart->toPlainText(), "  <H1>x</H1>  \n\nlast ");
  EXPECT_EQ(U->PageTitle->toPlainText(), "Howdy !!! Greetings from Tessaline :-)");
  EXPECT_EQ(U->BodyEnd->toPlainText(), "");
  U->Pages->setCurrentWidget(U->TabSheet2);
  Settle();
  EXPECT_EQ(U->TitlePanel->height(), TitleHeight);
}

TEST_F(FormStorage, MaximizedAndMinimizedWindowsComeBackSo) {
  QRect Frame;
  {
    TForm1 Form;
    Form.show();
    Settle();
    Form.setGeometry(40, 50, 600, 450);
    Settle();
    Frame = Form.geometry();
    Form.showMaximized();
    Settle();
    Form.close();
  }
  EXPECT_EQ(Value("MainForms/ShowCmd"), "3");
  EXPECT_EQ(Value("MainForms/NormPos"),
            QStringLiteral("40,50,%1,%2").arg(40 + Frame.width()).arg(50 + Frame.height()))
      << "the rectangle from before";
  {
    TForm1 Form;
    Form.show();
    Settle();
    EXPECT_TRUE(Form.isMaximized());
    Form.showNormal();
    Settle();
    EXPECT_EQ(Form.geometry(), Frame);
    Form.showMinimized();
    Settle();
    Form.close();
  }
  EXPECT_EQ(Value("MainForms/ShowCmd"), "2");
  TForm1 Form;
  Form.show();
  Settle();
  EXPECT_TRUE(Form.isMinimized()) << "shown normal, then minimized";
}

TEST_F(FormStorage, PlacementNeedsTheSameResolutionAndARealRectangle) {
  WriteIni("[MainForms]\nNormPos(1x1)=1,1,2,2\nNormPos=30,40,630,500\nShowCmd=1\n");
  {
    TForm1 Form;
    Form.show();
    Settle();
    EXPECT_EQ(Form.geometry(), QRect(30, 40, 600, 460)) << "plain name after a screen change";
  }
  WriteIni("[MainForms]\nNormPos=30,40,630,500\nPixelsPerInch=1\nShowCmd=3\nInput_Text=kept.pas\n");
  {
    TForm1 Form;
    Form.show();
    Settle();
    EXPECT_EQ(Form.normalGeometry().size(), QSize(482, 410)) << "another resolution: no size";
    EXPECT_TRUE(Form.isMaximized()) << "but the state";
    EXPECT_EQ(Form.Controls()->Input->text(), "kept.pas") << "and the fields";
  }
  WriteIni("[MainForms]\nNormPos=300,40,300,500\n");
  {
    TForm1 Form;
    Form.show();
    Settle();
    EXPECT_EQ(Form.size(), QSize(482, 410)) << "right not greater than left";
  }
  WriteIni("[MainForms]\nNormPos=\"10,,30,600\"\n");
  {
    TForm1 Form;
    Form.show();
    Settle();
    // Words 10, 30, 600: left 10, top 30, right 600; the bottom is missing.
    EXPECT_EQ(Form.geometry().left(), 10);
    EXPECT_EQ(Form.geometry().top(), 30);
    EXPECT_EQ(Form.geometry().width(), 590);
  }
}

TEST_F(FormStorage, OlderVersionRestoresNothingButSavesAgain) {
  WriteIni("[MainForms]\nFormVersion=-1\nInput_Text=old.pas\n");
  {
    TForm1 Form;
    Form.show();
    Settle();
    EXPECT_EQ(Form.Controls()->Input->text(), "");
    Form.close();
  }
  EXPECT_EQ(Value("MainForms/FormVersion"), "0");
  EXPECT_EQ(Value("MainForms/Input_Text"), "");
}

TEST_F(FormStorage, DamagedFileGivesDefaults) {
  WriteIni("garbage without a section\n[MainForms]\n=x\nShowCmd=many\nTitlePanel_Height=abc\n"
           "ConfirmOvr_Checked=maybe\nNormPos=a,b\n[MainForms.BodyEnd_Lines]\nCount=2147483647\n"
           "Item1=second\n[MainForms.BodyStart_Lines]\nCount=x\nItem0=never\n");
  TForm1 Form;
  Form.show();
  Settle();
  auto *U = Form.Controls();
  EXPECT_FALSE(Form.isMaximized());
  EXPECT_TRUE(U->ConfirmOvr->isChecked());
  EXPECT_LT(U->TitlePanel->height(), 49) << "a height that is no integer is 0, as far as it goes";
  EXPECT_EQ(U->BodyStart->toPlainText(), "");
  EXPECT_TRUE(U->BodyEnd->toPlainText().startsWith("\nsecond"));
  EXPECT_TRUE(Prompts.empty());
}

TEST_F(FormStorage, CommandLineStartSavesAtDestruction) {
  WriteIni("[MainForms]\nInput_Text=stored.pas\nOutput_Text=stored.html\n");
  QTemporaryDir Work;
  QFile Source(Work.filePath("a.pas"));
  Source.open(QIODevice::WriteOnly);
  Source.write("x");
  Source.close();
  {
    TForm1 Form({Work.filePath("a.pas")});
    EXPECT_TRUE(QFile::exists(Work.filePath("a.html"))) << "converted before any restore";
    Form.show(); // restores at once; events are left for the loop, which holds the quit request
    EXPECT_EQ(Form.Controls()->Input->text(), "stored.pas");
    EXPECT_EQ(RunUntilQuitRequest(), 0);
  }
  EXPECT_EQ(Value("MainForms/Visible"), "1");
}

// The command line once converted before the stored fields were restored
// (at the first show): a classic page with the design's title, while the
// colours and the dialect, kept apart, were the stored ones.
TEST_F(FormStorage, CommandLineStartIgnoresTheStoredPageFormat) {
  WriteIni("[MainForms]\nPageFormat_Text=HTML5\nLineNumbers_Checked=True\n"
           "DarkScheme_Text=Twilight\nConfirmOvr_Checked=False\n"
           "[MainForms.PageTitle_Lines]\nCount=1\nItem0=Stored title\n"
           "[MainForms.BodyEnd_Lines]\nCount=2\nItem0=<hr>\nItem1=end\n");
  QTemporaryDir Work;
  const QString Source = Work.filePath("w.pas"), Page = Work.filePath("w.html");
  for (const QString &Name : {Source, Page}) {
    QFile File(Name);
    File.open(QIODevice::WriteOnly);
    File.write("begin x := 'y'; end.");
  }
  {
    TForm1 Form({Source});
    EXPECT_TRUE(Prompts.empty()) << "the stored answer: no overwrite question";
    EXPECT_EQ(RunUntilQuitRequest(), 0);
  }
  TTessaline Window;
  Window.SetTitle("Stored title");
  Window.SetAddBodyEnd("<hr>\r\nend");
  TPageOptions Options;
  Options.Format = TPageFormat::HTML5;
  Options.LineNumbers = true;
  Options.HasDarkScheme = true;
  TTessaline Twilight;
  ApplyColorPreset(Twilight, FindColorPreset("Twilight"));
  Options.DarkScheme = Twilight.Scheme();
  Window.SetPageOptions(Options);
  Window.SetPlain("begin x := 'y'; end.");
  ASSERT_TRUE(Window.Convert());
  QFile Written(Page);
  ASSERT_TRUE(Written.open(QIODevice::ReadOnly));
  EXPECT_EQ(Written.readAll().toStdString(), Window.HTML());
}

TEST_F(FormStorage, NeverShownWindowSavesNothing) {
  { TForm1 Form; }
  EXPECT_FALSE(HasSection("MainForms"));
  EXPECT_TRUE(HasSection("Highlight")) << "the colour settings are saved all the same";
}

TEST_F(FormStorage, UnwritableSettingsAreReportedOnceAndTheWindowCloses) {
  // The close request's save, the destroy step's second try and the colour
  // save all fail.
  BlockStoredSettings();
  {
    TForm1 Form;
    Form.show();
    Settle();
    Form.Controls()->Input->setText("lost.pas");
    EXPECT_TRUE(Form.close());
    EXPECT_FALSE(Form.isVisible());
  }
  ASSERT_EQ(Prompts.size(), 1u);
  EXPECT_EQ(Prompts[0].Kind, TPromptKind::Error);
  EXPECT_EQ(Prompts[0].Text, "Failed to create key MainForms\n\nSettings: " + StoredSettingsName())
      << "names the settings file";
}

TEST_F(FormStorage, ReadOnlySettingsFolderKeepsWhatWasThere) {
#ifdef Q_OS_WIN
  GTEST_SKIP() << "file permissions: on Windows the settings are no file "
                  "(UnwritableSettingsAreReportedOnceAndTheWindowCloses refuses the registry's writes)";
#else
  const QByteArray Before = "[MainForms]\nInput_Text=kept.pas\n[Highlight]\nColorSpeedSetting=2\n";
  WriteIni(Before);
  const QString Name = TRegIniFile().FileName();
  const QString Folder = QFileInfo(Name).absolutePath();
  // Run in a child, the window is never shown: a child of a process whose
  // painting threads are running must not paint (they are not there).
  auto Check = [&](bool Shown) -> std::string {
    QFile::setPermissions(Folder, QFile::ReadOwner | QFile::ExeOwner);
    std::string Wrong;
    {
      TForm1 Form;
      if (Shown) {
        Form.show();
        Settle();
      } else {
        Form.Storage()->LoadWindowState();
      }
      if (Form.Controls()->Input->text() != "kept.pas")
        Wrong += "not restored; ";
      Form.Controls()->Input->setText("new.pas");
      if (Shown)
        Form.close();
      else
        Form.Storage()->SaveWindowState();
    }
    if (Prompts.size() != 1)
      Wrong += std::to_string(Prompts.size()) + " messages";
    return Wrong;
  };
  const bool Root = ::geteuid() == 0;
  for (const QString &Path : {Name, Folder, QFileInfo(Folder).absolutePath()})
    GiveToOrdinaryUser(Path.toStdString());
  LetOrdinaryUserThrough(QFileInfo(Folder).absolutePath().toStdString());
  EXPECT_EQ(AsOrdinaryUser([&] { return Check(!Root); }), "");
  QFile File(Name);
  ASSERT_TRUE(File.open(QIODevice::ReadOnly));
  EXPECT_EQ(File.readAll().toStdString(), Before.toStdString());
  QFile::setPermissions(Folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
#endif
}

} // namespace

namespace {

TEST_F(FormStorage, PageOptionsComeBackAndFilesWithoutThemGiveTheClassicPage) {
  WriteIni("[MainForms]\nConfirmOvr_Checked=False\nDarkScheme_Text=Sunset\n");
  {
    TForm1 Form;
    Form.show();
    Settle();
    auto *U = Form.Controls();
    EXPECT_EQ(U->PageFormat->currentText(), "Classic");
    EXPECT_FALSE(U->LineNumbers->isChecked());
    EXPECT_EQ(U->DarkScheme->currentText(), "None") << "an item the list lacks is ignored";
    U->PageFormat->setCurrentText("HTML5");
    U->LineNumbers->setChecked(true);
    U->DarkScheme->setCurrentText("Twilight");
    Form.close();
  }
  EXPECT_EQ(Value("MainForms/PageFormat_Text"), "HTML5");
  EXPECT_EQ(Value("MainForms/LineNumbers_Checked"), "True");
  EXPECT_EQ(Value("MainForms/DarkScheme_Text"), "Twilight");
  TForm1 Form;
  Form.show();
  Settle();
  EXPECT_EQ(Form.Controls()->PageFormat->currentText(), "HTML5");
  EXPECT_TRUE(Form.Controls()->LineNumbers->isChecked());
  EXPECT_EQ(Form.Controls()->DarkScheme->currentText(), "Twilight");
}

} // namespace
