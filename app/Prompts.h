// Every modal question and dialog of the window goes through here, so that
// tests can answer them in advance instead of a user. The program shows
// real QMessageBox and QFileDialog windows.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

enum class TPromptKind {
  Confirmation, // question icon, "&Yes" (default) and "&No" (also Escape)
  Information,  // information icon, one "&Ignore" button
  Plain,        // no icon, one "OK" button
  Error,        // the standard error report: critical icon, one "OK" button
};

struct TPrompt {
  TPromptKind Kind;
  QString Title;
  QString Text;
};

/// An open-file dialog's settings. The filter is a list of
/// "Description|patterns" pairs joined by "|", the first pair selected.
struct TFileDialogOptions {
  QString Title;
  QString Filter;
  QString DefaultSuffix; // without the dot; empty for none
  QString Directory;     // empty: the dialog's own choice
  bool FileMustExist = false;
  bool ConfirmOverwrite = false;
};

/// The filter as Qt's file dialog takes it: one "Description (patterns)"
/// line per pair, the patterns of the pair separated by blanks and "*.*"
/// written "*" (which also takes names without an extension).
QStringList DialogNameFilters(const QString &Filter);

/// Shows Prompt; true when a confirmation was answered Yes.
using TPromptHandler = std::function<bool(const TPrompt &Prompt)>;
/// Shows an open-file dialog; the chosen full name, or empty when cancelled.
using TFileDialogHandler = std::function<QString(const TFileDialogOptions &Options)>;

/// The handlers in use; tests may replace them (and restore them after).
TPromptHandler &PromptHandler();
TFileDialogHandler &FileDialogHandler();

bool Confirm(const QString &Title, const QString &Text);
void ShowPrompt(TPromptKind Kind, const QString &Title, const QString &Text);
QString ChooseFile(const TFileDialogOptions &Options);
