// TForm1, the main window: three conversion commands, stop, view, homepage
// and about on the tool bar; file names, page texts and colours on three
// pages; the last command's tag and report in the status bar.
#pragma once

#include <QMainWindow>
#include <QStringList>
#include <memory>

#include "Prompts.h"
#include "Tessaline.h"

class QLabel;
class QMimeData;
class TFormStorage;
class QProgressBar;
namespace Ui {
class TForm1;
}

/// Where a conversion takes its source from or puts its page; ckText is
/// text dropped on the window.
enum : uint8_t { ckNone = 0, ckClipboard = 1, ckFile = 2, ckText = 3 };

/// The temporary page that "View result" opens for a clipboard result.
QString TempFileName();

/// The name that the command line's source gets as its page: cut before
/// the last dot unless a path separator follows it, then ".html".
QString HtmlNameFor(const QString &Source);

class TForm1 : public QMainWindow {
  Q_OBJECT
public:
  /// Builds the window from its design and runs FormCreate. With
  /// Arguments (the program's arguments after its name), the first is
  /// converted to its ".html" page and the application is asked to quit.
  explicit TForm1(const QStringList &Arguments = {}, QWidget *Parent = nullptr);
  ~TForm1() override;

  Ui::TForm1 *Controls() const { return FUi.get(); }
  TTessaline &Converter() const { return *FConverter; }
  QProgressBar *ProgressBar() const { return FProgressBar; }
  TFormStorage *Storage() const { return FStorage; }
  uint8_t LastTarget() const { return FLastTarget; }
  const QString &LastOutputFile() const { return FLastOutputFile; }
  QString StatusTag() const;
  QString StatusText() const;

  /// The two open-file dialogs.
  static const TFileDialogOptions OpenPasDlg;
  static const TFileDialogOptions OpenHTMLDlg;

public slots:
  void FileToFileClick();
  void ClipToFileClick();
  void CliptoClipClick();
  void PageFormatChange();
  void StopBtnClick();
  void ViewBtnClick();
  void SpeedButton1Click();
  void SpeedButton2Click();
  void MyHomeClick();
  void WhatBtnClick();
  // The "Colors" page: each acts on the element selected in ElementList.
  void ElementListClick();
  /// The "Dialect" list: the rules the next conversion reads the source by.
  void DialectChange();
  /// The "Defines" field: the conditionals the modern dialect follows
  /// (ParseDefinesField); text it cannot read leaves them off.
  void DefinesChange();
  void ColorGridChange();
  void BoldClick();
  void ItalicClick();
  void UnderlineClick();
  void StrikeClick();
  void ForegroundClick();
  void ColorSpeedSettingChange();
  void RegisterClick();
  void UnregisterClick();
  /// Shows or hides the preview pane with "Show a preview of the last page".
  void ShowPreviewClick();

protected:
  void showEvent(QShowEvent *Event) override;
  bool eventFilter(QObject *Watched, QEvent *Event) override;
  void changeEvent(QEvent *Event) override;
  void dragEnterEvent(QDragEnterEvent *Event) override;
  void dropEvent(QDropEvent *Event) override;

private:
  void FormCreate(const QStringList &Arguments);
  void FormShow();
  void FormDestroy();
  bool KeepFrameOnScreen(bool Exposed);
  void RunCommand(const QString &Tag, uint8_t Source, uint8_t Target);
  void RunConversion(uint8_t Source, uint8_t Target);
  void SetStatus(const QString &Text);
  void ViewDocument(const QString &FileName);
  void ParseProgress(TTessaline &Sender, int32_t Percent);
  // The page format and its options as the "HTML Properties" page sets them.
  TPageOptions ChosenPageOptions() const;
  // The RTF document of the converter's Plain, for the clipboard.
  std::string RtfOfPlain() const;
  QString ConversionReport(int64_t Elapsed, uint8_t Source) const;
  void SetCommandsEnabled(bool Enabled);
  void TurnPage(int Step);
  void FitElementList();
  void ConnectDrops();
  bool AcceptsDrop(const QMimeData *Data) const;
  bool FilterDrop(QObject *Watched, QEvent *Event);
  void DropOn(QObject *Target, const QMimeData *Data);
  void ConnectPreviews();
  void MakeRoomForPreview(bool Shown);
  void KeepForPreview();
  void UpdatePreview();
  void UpdateColorSample();
  void ConnectColorPage();
  /// The element list's captions, which name the stored element values.
  QStringList ElementCaptions() const;
  void SetStyleBit(bool Checked, TFontStyles Bit);

  std::unique_ptr<::Ui::TForm1> FUi;
  std::unique_ptr<TTessaline> FConverter;
  QProgressBar *FProgressBar = nullptr;
  TFormStorage *FStorage = nullptr;
  QLabel *FStatusPanel1 = nullptr;
  QLabel *FStatusPanel2 = nullptr;
  uint8_t FLastTarget = ckNone;
  QString FLastOutputFile;
  int FFirstShow = 0;
  int FFrameChecks = 0; // window-system reports left to learn the frame from
  QString FDroppedText;
  // The last page for the preview pane (empty when too large to show).
  QByteArray FLastPage;
  size_t FLastPageSize = 0;
  TColor FLastPageText = 0, FLastPageBackground = 0;
  std::unique_ptr<TTessaline> FSampleConverter; // the Colors page's sample
};
