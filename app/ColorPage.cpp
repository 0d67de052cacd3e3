// The "Colors" page of TForm1: the colour scheme editor and the context
// menu buttons. Every change goes straight into the window's converter.
#include <QCoreApplication>

#include "ColorGrid.h"
#include "ColorScheme.h"
#include "MainForm.h"
#include "ShellVerb.h"
#include "ui_MainForm.h"

void TForm1::ConnectColorPage() {
  // Check boxes run their handler whenever their state changes, also when
  // it is set by program: ElementListClick relies on that.
  connect(FUi->ElementList, &QListWidget::currentRowChanged, this, &TForm1::ElementListClick);
  connect(FUi->ColorGrid, &TColorGrid::Changed, this, &TForm1::ColorGridChange);
  connect(FUi->Bold, &QCheckBox::toggled, this, &TForm1::BoldClick);
  connect(FUi->Italic, &QCheckBox::toggled, this, &TForm1::ItalicClick);
  connect(FUi->Underline, &QCheckBox::toggled, this, &TForm1::UnderlineClick);
  connect(FUi->Strike, &QCheckBox::toggled, this, &TForm1::StrikeClick);
  connect(FUi->Foreground, &QCheckBox::toggled, this, &TForm1::ForegroundClick);
  // Only the user's choice applies a preset; an index set by program does not.
  connect(FUi->ColorSpeedSetting, &QComboBox::activated, this, &TForm1::ColorSpeedSettingChange);
  connect(FUi->Dialect, &QComboBox::activated, this, &TForm1::DialectChange);
  connect(FUi->Defines, &QLineEdit::textChanged, this, &TForm1::DefinesChange);
  connect(FUi->Register, &QPushButton::clicked, this, &TForm1::RegisterClick);
  connect(FUi->Unregister, &QPushButton::clicked, this, &TForm1::UnregisterClick);
}

void TForm1::FitElementList() {
  // All elements in view and none cut, whatever the font: the list
  // has no scroll bars, so a hidden item could not be reached by mouse.
  QListWidget *List = FUi->ElementList;
  const int Frame = 2 * List->frameWidth();
  List->setFixedSize(List->sizeHintForColumn(0) + Frame + 4,
                     List->count() * List->sizeHintForRow(0) + Frame);
  // Layouts asked before the window was first shown keep the sizes they
  // worked out then (the list's own 256 x 192) unless told.
  for (QLayout *Layout : {static_cast<QLayout *>(FUi->ElementColumn),
                          static_cast<QLayout *>(FUi->ElementRow), FUi->GroupBox2->layout(),
                          FUi->TabSheet3->layout()})
    Layout->invalidate();
}

void TForm1::changeEvent(QEvent *Event) {
  QMainWindow::changeEvent(Event);
  if (Event->type() == QEvent::FontChange || Event->type() == QEvent::StyleChange)
    FitElementList();
}

void TForm1::ElementListClick() {
  const int Row = FUi->ElementList->currentRow();
  if (Row < 0 || Row >= ElementCount || !FConverter)
    return;
  const auto E = static_cast<THighlightElement>(Row);
  const TColor Color = FConverter->ElementColor(E);
  const int Cell = TColorGrid::CellOf(Color);
  if (Cell >= 0 && TColorGrid::CellColor(Cell) == Color)
    FUi->ColorGrid->SetForegroundIndex(Cell); // runs ColorGridChange, which stores the same colour
  else
    // A stored scheme may hold a colour no cell has (or a system colour
    // that looks like one): mark the look-alike cell, or none, and keep
    // the colour as it is until the user picks a cell.
    FUi->ColorGrid->ShowForegroundIndex(Cell);
  FUi->Bold->setChecked(FConverter->ElementStyle(E) & fsBold);
  FUi->Italic->setChecked(FConverter->ElementStyle(E) & fsItalic);
  FUi->Underline->setChecked(FConverter->ElementStyle(E) & fsUnderline);
  FUi->Strike->setChecked(FConverter->ElementStyle(E) & fsStrikeOut);
  FUi->Foreground->setChecked(FConverter->ElementDefault(E));
  UpdateColorSample();
}

void TForm1::ColorGridChange() {
  const int Row = FUi->ElementList->currentRow();
  if (Row < 0 || Row >= ElementCount || FUi->ColorGrid->ForegroundIndex() < 0)
    return;
  FConverter->SetElementColor(static_cast<THighlightElement>(Row),
                              FUi->ColorGrid->ForegroundColor());
  UpdateColorSample();
}

void TForm1::SetStyleBit(bool Checked, TFontStyles Bit) {
  const int Row = FUi->ElementList->currentRow();
  if (Row < 0 || Row >= ElementCount)
    return;
  const auto E = static_cast<THighlightElement>(Row);
  const TFontStyles Styles = FConverter->ElementStyle(E);
  FConverter->SetElementStyle(E, Checked ? Styles | Bit : Styles & ~Bit);
  UpdateColorSample();
}

void TForm1::BoldClick() { SetStyleBit(FUi->Bold->isChecked(), fsBold); }
void TForm1::ItalicClick() { SetStyleBit(FUi->Italic->isChecked(), fsItalic); }
void TForm1::UnderlineClick() { SetStyleBit(FUi->Underline->isChecked(), fsUnderline); }
void TForm1::StrikeClick() { SetStyleBit(FUi->Strike->isChecked(), fsStrikeOut); }

void TForm1::ForegroundClick() {
  const int Row = FUi->ElementList->currentRow();
  FUi->ColorGrid->SetForegroundEnabled(!FUi->Foreground->isChecked());
  if (Row >= 0 && Row < ElementCount)
    FConverter->SetElementDefault(static_cast<THighlightElement>(Row),
                                  FUi->Foreground->isChecked());
  UpdateColorSample();
}

void TForm1::ColorSpeedSettingChange() {
  const int Preset = FUi->ColorSpeedSetting->currentIndex();
  if (Preset < 0 || Preset >= ColorPresetCount)
    return;
  ApplyColorPreset(*FConverter, Preset);
  ElementListClick();
}

void TForm1::RegisterClick() { RegisterShellVerb(QCoreApplication::applicationFilePath()); }

void TForm1::UnregisterClick() { UnregisterShellVerb(); }

void TForm1::DefinesChange() {
  if (!FConverter)
    return;
  TConditionOptions Conditions;
  if (!ParseDefinesField(FUi->Defines->text().toStdString(), Conditions))
    Conditions = TConditionOptions();
  FConverter->SetConditions(Conditions);
}

void TForm1::DialectChange() {
  if (!FConverter)
    return;
  FConverter->SetDialect(FUi->Dialect->currentIndex() == 1 ? TPascalDialect::Modern
                                                           : TPascalDialect::Classic);
  UpdateColorSample();
}
