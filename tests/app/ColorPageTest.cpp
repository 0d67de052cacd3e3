// The "Colors" page through its real widgets: clicks and keys on the list,
// the grid and the boxes, choices in the preset list; after each step the
// converter is checked, since it is where every change goes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QTest>

#include "ColorGrid.h"
#include "ColorScheme.h"
#include "MainForm.h"
#include "ui_MainForm.h"

namespace {

class ColorPage : public testing::Test {
protected:
  void SetUp() override {
    PromptHandler() = [this](const TPrompt &Prompt) {
      Prompts.push_back(Prompt);
      return false;
    };
    Form.show();
    U->Pages->setCurrentWidget(U->TabSheet3);
  }
  void Select(THighlightElement E) {
    QListWidgetItem *Item = U->ElementList->item(E);
    QTest::mouseClick(U->ElementList->viewport(), Qt::LeftButton, {},
                      U->ElementList->visualItemRect(Item).center());
    ASSERT_EQ(U->ElementList->currentRow(), E);
  }
  // Moves through the preset list with the arrow keys, as a user may.
  void ChoosePreset(const char *Name) {
    const int Wanted = FindColorPreset(Name);
    U->ColorSpeedSetting->setFocus();
    while (U->ColorSpeedSetting->currentIndex() < Wanted)
      QTest::keyClick(U->ColorSpeedSetting, Qt::Key_Down);
    while (U->ColorSpeedSetting->currentIndex() > Wanted)
      QTest::keyClick(U->ColorSpeedSetting, Qt::Key_Up);
    ASSERT_EQ(U->ColorSpeedSetting->currentText(), Name);
  }
  void ClickCell(int Cell, Qt::MouseButton Button = Qt::LeftButton) {
    QTest::mouseClick(U->ColorGrid, Button, {}, U->ColorGrid->CellRect(Cell).center());
  }
  TColor ColorOf(THighlightElement E) { return Form.Converter().ElementColor(E); }
  bool DefaultOf(THighlightElement E) { return Form.Converter().ElementDefault(E); }
  TFontStyles StyleOf(THighlightElement E) { return Form.Converter().ElementStyle(E); }
  // The boxes, as "B I U S D" letters of those checked.
  std::string Boxes() {
    std::string Checked;
    Checked += U->Bold->isChecked() ? "B" : "";
    Checked += U->Italic->isChecked() ? "I" : "";
    Checked += U->Underline->isChecked() ? "U" : "";
    Checked += U->Strike->isChecked() ? "S" : "";
    Checked += U->Foreground->isChecked() ? "D" : "";
    return Checked;
  }

  TForm1 Form;
  Ui::TForm1 *U = Form.Controls();
  std::vector<TPrompt> Prompts;
};

TEST_F(ColorPage, TwilightWalkShowsEachElement) {
  ChoosePreset("Twilight");
  Select(heReservedWord);
  Select(heComment);
  EXPECT_EQ(U->ColorGrid->ForegroundIndex(), 7);
  EXPECT_EQ(Boxes(), "I");
  EXPECT_EQ(ColorOf(heComment), clSilver);
  Select(heWhitespace);
  EXPECT_EQ(U->ColorGrid->ForegroundIndex(), 0);
  EXPECT_EQ(Boxes(), "D");
  EXPECT_FALSE(U->ColorGrid->ForegroundEnabled());
  EXPECT_EQ(ColorOf(heWhitespace), clBlack);
  EXPECT_TRUE(DefaultOf(heWhitespace));

  Select(heComment);
  Select(heString);
  EXPECT_EQ(U->ColorGrid->ForegroundIndex(), 11);
  EXPECT_EQ(ColorOf(heString), clYellow);
  Select(heReservedWord);
  EXPECT_EQ(U->ColorGrid->ForegroundIndex(), 14);
  EXPECT_EQ(Boxes(), "B");
  EXPECT_TRUE(U->ColorGrid->ForegroundEnabled());
}

TEST_F(ColorPage, DefaultColourLocksTheGrid) {
  Select(heIdentifier); // default-coloured in the built-in scheme
  ASSERT_TRUE(U->Foreground->isChecked());
  ClickCell(9);
  EXPECT_EQ(U->ColorGrid->ForegroundIndex(), 0);
  EXPECT_EQ(ColorOf(heIdentifier), clBlack);
  EXPECT_TRUE(DefaultOf(heIdentifier));
  QTest::mouseClick(U->Foreground, Qt::LeftButton); // uncheck
  EXPECT_FALSE(DefaultOf(heIdentifier));
  EXPECT_TRUE(U->ColorGrid->ForegroundEnabled());
  EXPECT_EQ(ColorOf(heIdentifier), clBlack) << "unchanged until a cell is picked";
  ClickCell(9, Qt::RightButton);
  EXPECT_EQ(ColorOf(heIdentifier), clBlack) << "a right click never picks";
  Select(heComment);
  ClickCell(9);
  EXPECT_EQ(ColorOf(heComment), clRed);
  EXPECT_FALSE(DefaultOf(heComment));
  EXPECT_EQ(U->ColorGrid->ForegroundIndex(), 9);
}

TEST_F(ColorPage, KeysMoveTheFocusAndFPicks) {
  Select(heString); // blue, cell 12
  U->ColorGrid->setFocus();
  QTest::keyClick(U->ColorGrid, Qt::Key_Up);    // cell 8
  QTest::keyClick(U->ColorGrid, Qt::Key_Right); // cell 9
  EXPECT_EQ(ColorOf(heString), clBlue) << "moving the focus picks nothing";
  QTest::keyClick(U->ColorGrid, Qt::Key_F);
  EXPECT_EQ(U->ColorGrid->ForegroundIndex(), 9);
  EXPECT_EQ(ColorOf(heString), clRed);
}

TEST_F(ColorPage, StyleBoxesSetAndClearTheirBitOnly) {
  Select(heComment); // italic
  QTest::mouseClick(U->Bold, Qt::LeftButton);
  EXPECT_EQ(StyleOf(heComment), fsBold | fsItalic);
  QTest::mouseClick(U->Italic, Qt::LeftButton);
  EXPECT_EQ(StyleOf(heComment), fsBold);
  QTest::mouseClick(U->Underline, Qt::LeftButton);
  QTest::mouseClick(U->Strike, Qt::LeftButton);
  EXPECT_EQ(StyleOf(heComment), fsBold | fsUnderline | fsStrikeOut);
}

TEST_F(ColorPage, PresetsReplaceAllElements) {
  Select(heNumber);
  ClickCell(3);
  QTest::mouseClick(U->Underline, Qt::LeftButton);
  ChoosePreset("Ocean");
  for (int E = 0; E < ElementCount; ++E) {
    const auto El = static_cast<THighlightElement>(E);
    EXPECT_EQ(ColorOf(El), ColorPresets.Colors[3 * ElementCount + E]) << E;
    EXPECT_EQ(DefaultOf(El), ColorPresets.Defaults[3 * ElementCount + E] != 0) << E;
    EXPECT_EQ(StyleOf(El), ColorPresets.Styles[3 * ElementCount + E]) << E;
  }
  EXPECT_EQ(ColorOf(heWhitespace), clAqua);
  EXPECT_FALSE(DefaultOf(heWhitespace));
  EXPECT_EQ(ColorOf(heComment), clTeal);
  EXPECT_EQ(StyleOf(heComment), fsItalic);
  EXPECT_TRUE(DefaultOf(heIdentifier) && DefaultOf(heAssembler));
  EXPECT_EQ(ColorOf(heAssembler), clBlue);
  EXPECT_EQ(Boxes(), "") << "the number's new settings are shown";
  EXPECT_EQ(U->ColorGrid->ForegroundIndex(), 3);
  Select(heComment);
  ClickCell(9);
  EXPECT_EQ(U->ColorSpeedSetting->currentText(), "Ocean") << "single edits keep the preset shown";
}

TEST_F(ColorPage, WhitespaceStylesDoNotSurviveAConversion) {
  Select(heWhitespace);
  QTest::mouseClick(U->Bold, Qt::LeftButton);
  EXPECT_EQ(StyleOf(heWhitespace), fsBold);
  QGuiApplication::clipboard()->setText("x");
  QTest::mouseClick(U->CliptoClip, Qt::LeftButton);
  Select(heComment);
  Select(heWhitespace);
  EXPECT_EQ(Boxes(), "D");
}

TEST_F(ColorPage, ColoursNoCellHoldsAreShownButKept) {
  Form.Converter().SetElementColor(heComment, 0x123456);
  Form.Converter().SetElementColor(heString, clBtnFace);
  Select(heComment);
  EXPECT_EQ(U->ColorGrid->ForegroundIndex(), -1);
  EXPECT_EQ(ColorOf(heComment), 0x123456);
  Select(heString);
  EXPECT_EQ(ColorOf(heString), clBtnFace) << "a system colour is not replaced by its look-alike";
  ClickCell(5);
  EXPECT_EQ(ColorOf(heString), clPurple) << "until the user picks a cell";
}

TEST_F(ColorPage, DirectiveIsEditedAndTheDialectChosenHere) {
  ChoosePreset("Twilight");
  Select(heDirective);
  EXPECT_EQ(U->ColorGrid->ForegroundIndex(), TColorGrid::CellOf(clGreen));
  EXPECT_EQ(Boxes(), "");
  U->Bold->click();
  EXPECT_EQ(StyleOf(heDirective), fsBold);
  EXPECT_EQ(Form.Converter().Dialect(), TPascalDialect::Classic);
  U->Dialect->setFocus();
  QTest::keyClick(U->Dialect, Qt::Key_Down);
  EXPECT_EQ(Form.Converter().Dialect(), TPascalDialect::Modern);
  QTest::keyClick(U->Dialect, Qt::Key_Up);
  EXPECT_EQ(Form.Converter().Dialect(), TPascalDialect::Classic);
}

// Alt+D once moved the focus between "Default color" and the dialect list,
// whose label had the same key, and never ticked the box.
TEST_F(ColorPage, AltDOnlyMovesTheFocusAndNeverTicksDefaultColor) {
  QApplication::setActiveWindow(&Form);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&Form));
  Select(heComment);
  // A box's access key clicks it after a short animation.
  auto Press = [](Qt::Key Key) {
    QTest::keyClick(QApplication::focusWidget(), Key, Qt::AltModifier);
    QTest::qWait(250);
  };
  Press(Qt::Key_D);
  EXPECT_EQ(Boxes(), "ID");
  EXPECT_TRUE(DefaultOf(heComment));
  Press(Qt::Key_D);
  EXPECT_EQ(Boxes(), "I");
  Press(Qt::Key_B);
  EXPECT_EQ(Boxes(), "BI");
  Press(Qt::Key_A);
  EXPECT_EQ(QApplication::focusWidget(), U->Dialect);
}

TEST_F(ColorPage, EveryControlFitsWithAnySansFont) {
  // Wider fonts than the design's; whichever of them the system has.
  int Tried = 0;
  for (const char *Family : {"Liberation Sans", "DejaVu Sans", "URW Gothic", "Nimbus Sans"}) {
    if (!QFontDatabase::hasFamily(Family))
      continue;
    ++Tried;
    QFont Font(Family);
    Font.setPixelSize(11);
    Form.setFont(Font);
    QTest::qWait(20); // the layouts settle
    for (QWidget *Control : U->TabSheet3->findChildren<QWidget *>()) {
      if (!Control->isVisible() || Control->parentWidget() == U->ColorSpeedSetting)
        continue;
      const QRect Inside = Control->parentWidget()->rect();
      EXPECT_TRUE(Inside.contains(Control->geometry()))
          << Family << ": " << Control->objectName().toStdString() << " sticks out";
      if (qobject_cast<QAbstractButton *>(Control) || qobject_cast<QLabel *>(Control)) {
        EXPECT_GE(Control->width(), Control->sizeHint().width())
            << Family << ": " << Control->objectName().toStdString() << " is cut";
      }
    }
    for (int Row = 0; Row < U->ElementList->count(); ++Row) {
      const QListWidgetItem *Item = U->ElementList->item(Row);
      const QRect Rect = U->ElementList->visualItemRect(Item);
      EXPECT_TRUE(U->ElementList->viewport()->rect().contains(Rect))
          << Family << ": " << Item->text().toStdString() << " hidden";
      EXPECT_GE(Rect.width(), U->ElementList->fontMetrics().horizontalAdvance(Item->text()))
          << Family << ": " << Item->text().toStdString() << " clipped";
    }
    // The title line of "Text Attributes" is the group's own.
    EXPECT_GE(U->Bold->geometry().top(), U->GroupBox1->fontMetrics().height()) << Family;
  }
  EXPECT_GT(Tried, 0);
}

} // namespace
