// Drag and drop on TForm1. Files dropped on the window fill "Source File"
// and "Output File" (the page named as the command line names it); several
// files, or files dropped on "File to file", are converted at once, the
// first only. Text dropped is converted as the clipboard's text would be:
// on "Clip to file" into the output file, elsewhere onto the clipboard.
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "Application.h"
#include "MainForm.h"
#include "ui_MainForm.h"

namespace {

// The local files among the dropped URLs; folders are no sources.
QStringList DroppedFiles(const QMimeData *Data) {
  QStringList Files;
  if (Data->hasUrls())
    for (const QUrl &Url : Data->urls())
      if (Url.isLocalFile() && !QFileInfo(Url.toLocalFile()).isDir())
        Files << QDir::toNativeSeparators(Url.toLocalFile()); // C:\x, as users type it on Windows
  return Files;
}

} // namespace

void TForm1::ConnectDrops() {
  setAcceptDrops(true);
  for (QWidget *Button : {static_cast<QWidget *>(FUi->FileToFile),
                          static_cast<QWidget *>(FUi->ClipToFile),
                          static_cast<QWidget *>(FUi->CliptoClip)}) {
    Button->setAcceptDrops(true);
    Button->installEventFilter(this);
  }
}

bool TForm1::AcceptsDrop(const QMimeData *Data) const {
  // Nothing while a conversion runs: its buttons are disabled then.
  return FUi->FileToFile->isEnabled() && (!DroppedFiles(Data).isEmpty() || Data->hasText());
}

void TForm1::dragEnterEvent(QDragEnterEvent *Event) {
  if (AcceptsDrop(Event->mimeData()))
    Event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent *Event) {
  if (!AcceptsDrop(Event->mimeData()))
    return;
  Event->acceptProposedAction();
  DropOn(this, Event->mimeData());
}

bool TForm1::FilterDrop(QObject *Watched, QEvent *Event) {
  if (Watched != FUi->FileToFile && Watched != FUi->ClipToFile && Watched != FUi->CliptoClip)
    return false;
  if (Event->type() == QEvent::DragEnter || Event->type() == QEvent::DragMove) {
    auto *Drag = static_cast<QDragMoveEvent *>(Event);
    if (AcceptsDrop(Drag->mimeData()))
      Drag->acceptProposedAction();
    else
      Drag->ignore();
    return true;
  }
  if (Event->type() == QEvent::Drop) {
    auto *Drop = static_cast<QDropEvent *>(Event);
    if (AcceptsDrop(Drop->mimeData())) {
      Drop->acceptProposedAction();
      DropOn(Watched, Drop->mimeData());
    }
    return true;
  }
  return false;
}

void TForm1::DropOn(QObject *Target, const QMimeData *Data) {
  // The conversion runs once the drop is over: the program the drag came
  // from waits for the drop to end.
  const QStringList Files = DroppedFiles(Data);
  if (!Files.isEmpty()) {
    FUi->Input->setText(Files.first());
    FUi->Output->setText(HtmlNameFor(Files.first()));
    if (Target != FUi->FileToFile && Files.size() == 1)
      return;
    QTimer::singleShot(0, this, [this, Count = Files.size(), First = Files.first()] {
      FileToFileClick();
      if (Count > 1)
        ShowPrompt(TPromptKind::Plain, ApplicationTitle,
                   QStringLiteral("%1 files were dropped; only the first was converted:\r\n%2")
                       .arg(Count)
                       .arg(QDir::toNativeSeparators(First)));
    });
    return;
  }
  const uint8_t Into = Target == FUi->ClipToFile ? ckFile : ckClipboard;
  FDroppedText = Data->text();
  QTimer::singleShot(0, this, [this, Into] {
    RunCommand(Into == ckFile ? "T > F" : "T > C", ckText, Into);
  });
}
