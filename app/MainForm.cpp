#include "MainForm.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScreen>
#include <QShortcut>
#include <QWindow>
#include <QStatusBar>

#include "Application.h"
#include "Clipboard.h"
#include "ColorScheme.h"
#include "ColorSettings.h"
#include "Desktop.h"
#include "FileIO.h"
#include "FileUtils.h"
#include "FormStorage.h"
#include "Prompts.h"
#include "TessalineVersion.h"
#include "TextUtils.h"
#include "Ticks.h"
#include "ui_MainForm.h"

namespace {

QString &TempFileNameStorage() {
  static QString Name;
  return Name;
}

std::string ToBytes(const QString &Text) { return Text.toLocal8Bit().toStdString(); }
QString FromBytes(const std::string &Bytes) {
  return QString::fromLocal8Bit(Bytes.data(), static_cast<qsizetype>(Bytes.size()));
}

// A memo's whole text: its lines joined by CR LF.
std::string MemoText(const QPlainTextEdit *Memo) {
  return ToBytes(Memo->toPlainText().replace('\n', QStringLiteral("\r\n")));
}

// The directory part of a file name: up to and including its last separator.
QString DirectoryOf(const QString &FileName) {
  qsizetype Cut = FileName.lastIndexOf('/');
#ifdef Q_OS_WIN
  Cut = std::max({Cut, FileName.lastIndexOf('\\'), FileName.lastIndexOf(':')});
#endif
  return FileName.left(Cut + 1);
}

// The locale's separator as bytes; a locale without one falls back to Fallback.
std::string SeparatorBytes(const QString &Separator, const char *Fallback) {
  return Separator.isEmpty() ? Fallback : ToBytes(Separator);
}

// A pipe waits in its opening for a program to write into it, and a device
// may never end: neither reports progress, so "Ooops !" could not stop the
// run and the window would hang. Folders and missing files are left to the
// file layer's "Cannot open file".
void RefuseSourceThatIsNoFile(const std::string &FileName) {
  TFileInfo Info;
  if (InfoOfPath(FileName, Info) && Info.Kind == TFileKind::Other)
    throw EFOpenError("Cannot open file " + FileName + ": it is not a regular file");
}

// Posts the quit request when it goes out of scope, whatever happened. It is
// an exit, not quit(): Qt's quit() first sends every window a close request,
// and then the window state would be saved as closed by the user ("Visible"
// "0") instead of at destruction.
struct TQuitRequest {
  ~TQuitRequest() { PostQuitRequest(); }
};

} // namespace

const TFileDialogOptions TForm1::OpenPasDlg = {
    "Open PAS File to convert",
    "Pascal Source (*.pas)|*.pas|Delphi Project (*.dpr)|*.dpr|Delphi Package (*.dpk)|*.dpk|"
    "All Delphi Files (*.pas;*.dpr;*.dpk)|*.pas;*.dpr;*.dpk|All Files (*.*)|*.*",
    "",
    "",
    true,
    false};

const TFileDialogOptions TForm1::OpenHTMLDlg = {
    "Choose the HTML output file",
    "HTML Files (*.htm;*.html)|*.htm;*.html|All Files (*.*)|*.*",
    "htm",
    "",
    false,
    true};

QString TempFileName() { return TempFileNameStorage(); }

QString HtmlNameFor(const QString &Source) {
  // In UTF-8, not the locale's encoding: Windows' ANSI code page turned the
  // letters it lacks into "?".
  const std::string Page = ChangeFileExt(Source.toUtf8().toStdString(), ".html");
  return QString::fromUtf8(Page.data(), static_cast<qsizetype>(Page.size()));
}

TForm1::TForm1(const QStringList &Arguments, QWidget *Parent)
    : QMainWindow(Parent), FUi(new ::Ui::TForm1) {
  Q_INIT_RESOURCE(tessaline); // the pictures live in a static library
  FUi->setupUi(this);
  // The design's font is 11 pixels high and about as wide as Arial; Linux
  // fonts of that height are mostly wider, and the sizes were made for it.
  QFont Font = font();
  Font.setFamilies({"Liberation Sans", "Arial", "Helvetica", Font.family()});
  Font.setPixelSize(11);
  setFont(Font);
  // The element captions are the engine's, as the stored value names are
  // made of them: written once, they cannot drift apart.
  FUi->ElementList->addItems(ElementCaptionList());
  FitElementList();
  // Status panels 1 and 2; panel 0 is the place of the progress bar.
  QWidget *Panel0 = new QWidget(FUi->StatusBar);
  Panel0->setFixedWidth(150);
  FUi->StatusBar->addWidget(Panel0);
  FStatusPanel1 = new QLabel(FUi->StatusBar);
  FStatusPanel1->setObjectName("StatusPanel1");
  FStatusPanel1->setFixedWidth(50);
  FStatusPanel1->setAlignment(Qt::AlignCenter);
  FUi->StatusBar->addWidget(FStatusPanel1);
  FStatusPanel2 = new QLabel(FUi->StatusBar);
  FStatusPanel2->setObjectName("StatusPanel2");
  FUi->StatusBar->addWidget(FStatusPanel2, 1);
  // Page title panel 49 pixels, ending text panel 81 pixels high; the
  // middle takes what the window gains or loses.
  FUi->Splitter1->setStretchFactor(1, 1);
  FUi->Splitter2->setStretchFactor(0, 1);
  SetPanelHeight(FUi->TitlePanel, 49);
  SetPanelHeight(FUi->FooterPanel, 81);
  FUi->StopBtn->setEnabled(false);
  FUi->ViewBtn->setEnabled(false);

  connect(FUi->FileToFile, &QToolButton::clicked, this, &TForm1::FileToFileClick);
  connect(FUi->ClipToFile, &QToolButton::clicked, this, &TForm1::ClipToFileClick);
  connect(FUi->CliptoClip, &QToolButton::clicked, this, &TForm1::CliptoClipClick);
  connect(FUi->PageFormat, &QComboBox::currentIndexChanged, this, &TForm1::PageFormatChange);
  PageFormatChange();
  connect(FUi->StopBtn, &QToolButton::clicked, this, &TForm1::StopBtnClick);
  connect(FUi->ViewBtn, &QToolButton::clicked, this, &TForm1::ViewBtnClick);
  connect(FUi->MyHomeBtn, &QToolButton::clicked, this, &TForm1::MyHomeClick);
  connect(FUi->WhatBtn, &QToolButton::clicked, this, &TForm1::WhatBtnClick);
  connect(FUi->SpeedButton1, &QToolButton::clicked, this, &TForm1::SpeedButton1Click);
  connect(FUi->SpeedButton2, &QToolButton::clicked, this, &TForm1::SpeedButton2Click);
  ConnectColorPage();
  ConnectDrops();
  ConnectPreviews();
  // Ctrl+Tab and Ctrl+Shift+Tab turn the pages from anywhere in the window;
  // the page control itself only sees them while the focus is inside it.
  connect(new QShortcut(QKeySequence::NextChild, this), &QShortcut::activated, this,
          [this] { TurnPage(1); });
  connect(new QShortcut(QKeySequence::PreviousChild, this), &QShortcut::activated, this,
          [this] { TurnPage(-1); });

  // The window-state store attaches itself once the design is loaded.
  FStorage = new TFormStorage(this, {"Output.Text", "Input.Text", "ConfirmOvr.Checked",
                                     "BodyStart.Lines", "BodyEnd.Lines", "PageTitle.Lines",
                                     "TitlePanel.Height", "FooterPanel.Height",
                                     "ShowPreview.Checked", "PageFormat.Text",
                                     "LineNumbers.Checked", "DarkScheme.Text"});
  FStorage->setObjectName("Storage");
  FStorage->MinMaxInfo.MinTrackWidth = 530;
  FStorage->MinMaxInfo.MinTrackHeight = 420;

  // A failure while the window is created is shown, and creation goes on.
  try {
    FormCreate(Arguments);
  } catch (const ERegistryException &Error) {
    ShowErrorReport(SettingsFailureText(Error));
  } catch (const std::exception &Error) {
    ShowErrorReport(ErrorText(Error));
  }
}

TForm1::~TForm1() {
  FStorage->WindowDestroying(); // reports its own failures
  try {
    FormDestroy();
  } catch (const ERegistryException &Error) {
    // The same settings location as the window state's: its failure has
    // been shown already.
    if (!FStorage->SaveFailed())
      ShowErrorReport(SettingsFailureText(Error));
  } catch (const std::exception &Error) {
    ShowErrorReport(ErrorText(Error));
  }
}

QStringList TForm1::ElementCaptions() const {
  QStringList Captions;
  for (int Row = 0; Row < FUi->ElementList->count(); ++Row)
    Captions << FUi->ElementList->item(Row)->text();
  return Captions;
}

QString TForm1::StatusTag() const { return FStatusPanel1->text(); }
QString TForm1::StatusText() const { return FStatusPanel2->text(); }

void TForm1::FormCreate(const QStringList &Arguments) {
  FLastTarget = ckNone;
  FLastOutputFile.clear();
  FConverter = std::make_unique<TTessaline>();
  // The temporary folder can be of any length here. tempPath() separates
  // with "/" everywhere: the whole name in the system's own separators, so
  // that it is not "C:/Users/x/Temp\$tessalinetmp.htm" on Windows.
  TempFileNameStorage() = QDir::toNativeSeparators(QDir::tempPath() + "/$tessalinetmp.htm");
  FUi->ElementList->setCurrentRow(0);
  FProgressBar = new QProgressBar(FUi->StatusBar);
  FProgressBar->setRange(0, 100);
  FProgressBar->setTextVisible(false);
  FProgressBar->setGeometry(0, 2, 150, FUi->StatusBar->height() - 2);
  FConverter->SetOnProgress(
      [this](TTessaline &Sender, int32_t Percent) { ParseProgress(Sender, Percent); });
  // A settings failure here ends FormCreate: nothing is converted and the
  // window opens for the user.
  const int Preset =
      LoadColorSettings(TRegIniFile(SettingsKeyPath), *FConverter, ElementCaptions());
  FUi->ColorSpeedSetting->setCurrentIndex(Preset >= 0 && Preset < ColorPresetCount ? Preset : -1);
  FConverter->SetDialect(LoadDialectSetting(TRegIniFile(SettingsKeyPath)));
  FUi->Dialect->setCurrentIndex(FConverter->Dialect() == TPascalDialect::Modern ? 1 : 0);
  FUi->Defines->setText(LoadDefinesSetting(TRegIniFile(SettingsKeyPath))); // runs DefinesChange
  // The "Colors" page shows the first element from the start, rather than
  // boxes and a grid that belong to no element until the user picks one.
  ElementListClick();
  if (!Arguments.isEmpty()) {
    TQuitRequest Quit; // posted even when the conversion fails
    // The page the window would write: its stored texts, page format and
    // overwrite question are otherwise restored only when it is shown,
    // after this conversion.
    FStorage->LoadPropertyValues();
    FUi->Input->setText(Arguments.first());
    FUi->Output->setText(HtmlNameFor(FUi->Input->text()));
    FUi->FileToFile->click();
  }
}

void TForm1::showEvent(QShowEvent *Event) {
  QMainWindow::showEvent(Event);
  FormShow();
}

void TForm1::FormShow() {
  if (FFirstShow)
    return;
  // The restored settings may have shown the preview pane, which makes the
  // window taller once the layouts between it and the window have run; each
  // passes the request one level up in an event of its own. Run them all
  // now, before the window is mapped: a window that grew after the first
  // correction ended with its frame below the screen's edge, and a growth
  // while the window manager maps the window can place it at the screen's
  // corner. Nesting is shallower than the rounds allowed.
  constexpr int LayoutLevels = 16;
  for (int Level = 0; Level < LayoutLevels; ++Level)
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  KeepFrameOnScreen(false);
  // The window manager's frame is known only once the window is on the
  // screen: the window system's first reports after that check again, with
  // the real frame (a few reports come at the start).
  if (QWindow *Handle = windowHandle()) {
    FFrameChecks = 8;
    Handle->installEventFilter(this);
  }
  FFirstShow = 1;
}

bool TForm1::KeepFrameOnScreen(bool Exposed) {
  const QScreen *Screen = QGuiApplication::primaryScreen();
  if (!Screen)
    return true;
  const QSize ScreenSize = Screen->geometry().size();
  // Before the first exposure the frame is not known, and asking for it
  // then can have the X11 platform keep the answer "no frame" (or a frame
  // without its title bar) until the window manager next reports a
  // geometry, which it need not do after adding the frame around the
  // window where it stands: the frame then stuck out past the screen's
  // edge. So until then only the window itself is kept on the screen, and
  // a frame still unknown once the window is shown is taken to be a wide
  // one; a report that brings the real frame checks again.
  QRect Frame = Exposed ? frameGeometry() : geometry();
  const bool Known = !Exposed || Frame.top() < geometry().top() ||
                     windowFlags().testFlag(Qt::FramelessWindowHint);
  if (!Known)
    Frame = Frame.marginsAdded(QMargins(8, 40, 8, 8));
  QPoint Position = Frame.topLeft();
  if (ScreenSize.width() < Frame.left() + Frame.width())
    Position.setX(ScreenSize.width() - Frame.width());
  if (ScreenSize.height() < Frame.top() + Frame.height())
    Position.setY(ScreenSize.height() - Frame.height());
  if (Position != Frame.topLeft()) {
    if (Exposed)
      move(Position); // a visible window's move places its frame
    else
      setGeometry(QRect(Position, size())); // the window itself, as the restore placed it
  }
  return Known;
}

bool TForm1::eventFilter(QObject *Watched, QEvent *Event) {
  if (FilterDrop(Watched, Event))
    return true;
  QWindow *Handle = windowHandle();
  const QEvent::Type Type = Event->type();
  if (Watched == Handle && FFrameChecks > 0 && Handle->isExposed() &&
      (Type == QEvent::Expose || Type == QEvent::Move || Type == QEvent::Resize) &&
      (KeepFrameOnScreen(true) || --FFrameChecks == 0)) {
    FFrameChecks = 0;
    Handle->removeEventFilter(this);
  }
  return QMainWindow::eventFilter(Watched, Event);
}

void TForm1::FormDestroy() {
  if (FConverter) { // a FormCreate that failed before has nothing to save
    TRegIniFile Settings(FStorage->IniFileName);
    SaveColorSettings(Settings, *FConverter, ElementCaptions(),
                      FUi->ColorSpeedSetting->currentIndex());
    SaveDialectSetting(Settings, FConverter->Dialect());
    SaveDefinesSetting(Settings, FUi->Defines->text());
  }
  delete FProgressBar;
  FProgressBar = nullptr;
  FConverter.reset();
  QFile::remove(TempFileNameStorage()); // missing or locked: no matter
}

void TForm1::TurnPage(int Step) {
  const int Count = FUi->Pages->count();
  FUi->Pages->setCurrentIndex((FUi->Pages->currentIndex() + Step + Count) % Count);
}

void TForm1::SetCommandsEnabled(bool Enabled) {
  FUi->FileToFile->setEnabled(Enabled);
  FUi->ClipToFile->setEnabled(Enabled);
  FUi->CliptoClip->setEnabled(Enabled);
}

void TForm1::FileToFileClick() { RunCommand("F > F", ckFile, ckFile); }
void TForm1::ClipToFileClick() { RunCommand("C > F", ckClipboard, ckFile); }
void TForm1::CliptoClipClick() { RunCommand("C > C", ckClipboard, ckClipboard); }

void TForm1::RunCommand(const QString &Tag, uint8_t Source, uint8_t Target) {
  SetCommandsEnabled(false);
  FStatusPanel1->setText(Tag);
  FUi->StopBtn->setEnabled(true);
  // The buttons come back whatever the run did; a failure then goes on to
  // the error report.
  struct TRestore {
    TForm1 *Form;
    ~TRestore() {
      Form->SetCommandsEnabled(true);
      Form->FUi->StopBtn->setEnabled(false);
    }
  } Restore{this};
  try {
    RunConversion(Source, Target);
  } catch (const std::exception &Error) {
    // The error report's box goes away; "Processing..." would stay and
    // claim a run that is over.
    FProgressBar->setValue(0);
    SetStatus(ErrorText(Error));
    throw;
  }
}

void TForm1::RunConversion(uint8_t Source, uint8_t Target) {
  // An output field naming the source (typed so, or picked in both
  // dialogs) would have the source replaced by its page and lost, even
  // with the overwrite question answered Yes, which asks about a page.
  const std::string InputName = FileNameBytes(FUi->Input->text());
  if (Source == ckFile && Target == ckFile &&
      IsSameFile(InputName, FileNameBytes(FUi->Output->text())))
    throw EStreamError("The page would replace its own source " + InputName);
  if (Source == ckFile)
    RefuseSourceThatIsNoFile(InputName);
  if (Target == ckFile && FUi->ConfirmOvr->isChecked() && QFile::exists(FUi->Output->text()) &&
      !Confirm("Confirm", "Overwrite output file ?"))
    return;
  const int64_t Start = TickCount();
  FProgressBar->setValue(0);
  SetStatus("Processing...");
  FConverter->SetTitle(MemoText(FUi->PageTitle));
  FConverter->SetAddBodyStart(MemoText(FUi->BodyStart));
  FConverter->SetAddBodyEnd(MemoText(FUi->BodyEnd));
  FConverter->SetPageOptions(ChosenPageOptions());
  const bool DecodesSource = FConverter->PageOptions().Format != TPageFormat::Classic;
  if (Source == ckClipboard)
    FConverter->SetPlain(ClipboardText(DecodesSource));
  else if (Source == ckText)
    FConverter->SetPlain(TextBytes(FDroppedText, DecodesSource));
  else
    FConverter->LoadFromFile(InputName);
  if (FConverter->Convert()) {
    if (Target == ckClipboard)
      SetClipboardPage(FConverter->HTML(), RtfOfPlain());
    else
      FConverter->SaveToFile(FileNameBytes(FUi->Output->text()));
    FUi->ViewBtn->setEnabled(true);
    KeepForPreview();
  } else {
    FUi->ViewBtn->setEnabled(false);
  }
  const int64_t Elapsed = TickCount() - Start;
  FProgressBar->setValue(0);
  SetStatus(ConversionReport(Elapsed, Source));
  FLastTarget = Target;
  FLastOutputFile = FUi->Output->text();
  Beep();
}

void TForm1::PageFormatChange() {
  // Line numbers and a dark scheme are the HTML5 page's.
  const bool HTML5 = FUi->PageFormat->currentIndex() == 1;
  FUi->LineNumbers->setEnabled(HTML5);
  FUi->DarkSchemeLabel->setEnabled(HTML5);
  FUi->DarkScheme->setEnabled(HTML5);
}

TPageOptions TForm1::ChosenPageOptions() const {
  TPageOptions Options;
  if (FUi->PageFormat->currentIndex() == 1) {
    Options.Format = TPageFormat::HTML5;
    Options.LineNumbers = FUi->LineNumbers->isChecked();
    // The list holds "None", then the presets in their order.
    const int Dark = FUi->DarkScheme->currentIndex() - 1;
    if (Dark >= 0 && Dark < ColorPresetCount) {
      TTessaline Preset;
      ApplyColorPreset(Preset, Dark);
      Options.HasDarkScheme = true;
      Options.DarkScheme = Preset.Scheme();
    }
  }
  return Options;
}

std::string TForm1::RtfOfPlain() const {
  // A converter of its own, with the window's scheme, so that the page
  // just made stays in the window's converter.
  TTessaline Rtf;
  for (int K = 0; K < ElementCount; ++K) {
    const auto E = static_cast<THighlightElement>(K);
    Rtf.SetElementColor(E, FConverter->ElementColor(E));
    Rtf.SetElementDefault(E, FConverter->ElementDefault(E));
    Rtf.SetElementStyle(E, FConverter->ElementStyle(E));
  }
  TPageOptions Options;
  Options.Format = TPageFormat::RTF;
  Rtf.SetPageOptions(Options);
  Rtf.SetPlain(FConverter->Plain());
  Rtf.Convert();
  return Rtf.HTML();
}

QString TForm1::ConversionReport(int64_t Elapsed, uint8_t Source) const {
  QLocale Locale = QLocale::system();
  Locale.setNumberOptions(QLocale::OmitGroupSeparator); // "%.2f" has no grouping
  const QString Time =
      Elapsed < 1000
          ? QStringLiteral("Time: %1 ms").arg(Elapsed)
          : QStringLiteral("Total Time: %1 s").arg(Locale.toString(Elapsed / 1000.0, 'f', 2));
  const std::string Decimal = SeparatorBytes(Locale.decimalPoint(), ".");
  const std::string Thousands = SeparatorBytes(Locale.groupSeparator(), ",");
  // The low 32 bits, as for any size on disk.
  auto SizeOf = [](size_t Bytes) { return static_cast<int32_t>(static_cast<uint32_t>(Bytes)); };
  // For a file the source's size on disk; for the clipboard the size of the
  // text that was converted, not of whatever file Input happens to name.
  const int32_t SourceSize = Source == ckFile ? FileSizeOf(FileNameBytes(FUi->Input->text()))
                                              : SizeOf(FConverter->Plain().size());
  return Time +
         QStringLiteral(", Size: %1 > %2")
             .arg(FromBytes(FormatByteSize(SourceSize, Decimal, Thousands)),
                  FromBytes(FormatByteSize(SizeOf(FConverter->HTMLLength()), Decimal, Thousands)));
}

void TForm1::SetStatus(const QString &Text) { FStatusPanel2->setText(Text); }

void TForm1::ParseProgress(TTessaline &, int32_t Percent) {
  FProgressBar->setValue(Percent);
  QCoreApplication::processEvents();
  if (Percent >= 100)
    FProgressBar->setValue(0);
}

void TForm1::StopBtnClick() { FConverter->Stop(); }

void TForm1::ViewBtnClick() {
  if (FLastTarget == ckClipboard) {
    // The clipboard's text now, line by line, each line ended by CR LF.
    static const QRegularExpression LineEnd("\r\n|\r|\n");
    const QStringList Lines = FromBytes(ClipboardText()).split(LineEnd);
    std::string Text;
    for (qsizetype K = 0; K < Lines.size(); ++K) {
      if (K + 1 == Lines.size() && Lines[K].isEmpty())
        break; // a final line end opens no further line
      Text += ToBytes(Lines[K]) + "\r\n";
    }
    TSafeFileWriter File(FileNameBytes(TempFileName()));
    File.Write(Text.data(), Text.size());
    File.Commit();
    ViewDocument(TempFileName());
  } else {
    ViewDocument(FLastOutputFile);
  }
}

void TForm1::ViewDocument(const QString &FileName) {
  // Whether the browser then shows the page is its own affair; a desktop
  // that starts no program at all would otherwise leave the click unanswered.
  if (!OpenDocument(FileName))
    ShowPrompt(TPromptKind::Error, ApplicationTitle,
               "Cannot show " + QDir::toNativeSeparators(FileName) +
                   ": no program to open it was found (on Linux, xdg-open from the "
                   "package xdg-utils starts the browser).");
}

void TForm1::SpeedButton1Click() {
  TFileDialogOptions Options = OpenPasDlg;
  Options.Directory = DirectoryOf(FUi->Input->text());
  const QString Chosen = ChooseFile(Options);
  if (!Chosen.isEmpty())
    FUi->Input->setText(Chosen);
}

void TForm1::SpeedButton2Click() {
  TFileDialogOptions Options = OpenHTMLDlg;
  Options.Directory = DirectoryOf(FUi->Output->text());
  const QString Chosen = ChooseFile(Options);
  if (!Chosen.isEmpty())
    FUi->Output->setText(Chosen);
}

void TForm1::MyHomeClick() {
  ShowPrompt(TPromptKind::Plain, ApplicationTitle,
             "Sorry I haven't made my homepage yet.... email me instead\r\n"
             "tessaline@quorvander.example");
}

void TForm1::WhatBtnClick() {
  ShowPrompt(TPromptKind::Information, "Information",
             "Tessaline " TESSALINE_VERSION "\r\n"
             "PAS source code to HTML File\r\n"
             "\r\n"
             "Written by the Quorvander team\r\n"
             "Qt port for Windows and Linux\r\n");
}
