#include "Prompts.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace {

bool ShowMessageBox(const TPrompt &Prompt) {
  QMessageBox Box(QApplication::activeWindow());
  Box.setWindowTitle(Prompt.Title);
  Box.setText(Prompt.Text);
  switch (Prompt.Kind) {
  case TPromptKind::Confirmation: {
    Box.setIcon(QMessageBox::Question);
    QPushButton *Yes = Box.addButton(QObject::tr("&Yes"), QMessageBox::YesRole);
    QPushButton *No = Box.addButton(QObject::tr("&No"), QMessageBox::NoRole);
    Box.setDefaultButton(Yes);
    Box.setEscapeButton(No);
    Box.exec();
    return Box.clickedButton() == Yes;
  }
  case TPromptKind::Information:
    Box.setIcon(QMessageBox::Information);
    Box.addButton(QObject::tr("&Ignore"), QMessageBox::AcceptRole);
    break;
  case TPromptKind::Plain:
    Box.setIcon(QMessageBox::NoIcon);
    Box.addButton(QObject::tr("OK"), QMessageBox::AcceptRole);
    break;
  case TPromptKind::Error:
    Box.setIcon(QMessageBox::Critical);
    Box.addButton(QObject::tr("OK"), QMessageBox::AcceptRole);
    break;
  }
  Box.exec();
  return false;
}

QString ShowFileDialog(const TFileDialogOptions &Options) {
  QFileDialog Dialog(QApplication::activeWindow(), Options.Title, Options.Directory);
  Dialog.setNameFilters(DialogNameFilters(Options.Filter));
  Dialog.setAcceptMode(QFileDialog::AcceptOpen);
  Dialog.setFileMode(Options.FileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  Dialog.setDefaultSuffix(Options.DefaultSuffix);
  Dialog.setOption(QFileDialog::ReadOnly, false);
  if (!Options.ConfirmOverwrite)
    Dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (Dialog.exec() != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
    return QString();
  return Dialog.selectedFiles().first();
}

} // namespace

QStringList DialogNameFilters(const QString &Filter) {
  // Qt reads the patterns from the parentheses of the line it shows, and
  // only when they are separated by blanks: "(*.pas;*.dpr)" would match no
  // file. The patterns after each description are what counts.
  QStringList Lines;
  const QStringList Parts = Filter.split('|');
  for (qsizetype K = 0; K + 1 < Parts.size(); K += 2) {
    QStringList Patterns = Parts[K + 1].split(';', Qt::SkipEmptyParts);
    for (QString &Pattern : Patterns)
      if (Pattern.trimmed() == "*.*")
        Pattern = "*";
    QString Description = Parts[K];
    const qsizetype Open = Description.lastIndexOf('(');
    if (Open >= 0 && Description.endsWith(')'))
      Description = Description.left(Open).trimmed();
    Lines << Description + " (" + Patterns.join(' ').trimmed() + ')';
  }
  return Lines;
}

TPromptHandler &PromptHandler() {
  static TPromptHandler Handler = ShowMessageBox;
  return Handler;
}

TFileDialogHandler &FileDialogHandler() {
  static TFileDialogHandler Handler = ShowFileDialog;
  return Handler;
}

bool Confirm(const QString &Title, const QString &Text) {
  return PromptHandler()({TPromptKind::Confirmation, Title, Text});
}

void ShowPrompt(TPromptKind Kind, const QString &Title, const QString &Text) {
  PromptHandler()({Kind, Title, Text});
}

QString ChooseFile(const TFileDialogOptions &Options) { return FileDialogHandler()(Options); }
