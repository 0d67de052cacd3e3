// TFormPlacement and TFormStorage: a window's placement and the values of
// some of its controls, kept in the settings from one run to the next.
//
// The store watches its window: it restores when the window is shown
// (before the window's own show handler), saves when the window is asked
// to close, and saves at destruction when no close request did. It also
// keeps the user from sizing the window below its minimum tracking size,
// without enlarging a window that starts smaller.
//
// Section "MainForms" (IniSection) holds "FormVersion", "Flags" (0 here),
// "ShowCmd" (1 normal, 2 minimized, 3 maximized), "PixelsPerInch",
// "MinMaxPos" and "NormPos" (each also with the screen size as suffix,
// "NormPos(1920x1080)"; "-1,-1,-1,-1" for the minimized and maximized
// positions this platform does not have; the normal rectangle of the
// window without the window manager's frame, as left, top, right, bottom), "Visible", and one value per stored property
// (a memo's lines in a section of their own, "MainForms.BodyStart_Lines"
// with "Count" and "Item0"...).
#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QStringList>
#include <exception>

#include "RegIniFile.h"

class QWidget;

/// Sets the height of a panel that a splitter sizes (its neighbour gives or
/// takes the difference), or of any other widget. While the splitter has
/// not been shown, the height is kept and applied at its first layout, and
/// PanelHeight gives it until then.
void SetPanelHeight(QWidget *Panel, int Height);
int PanelHeight(const QWidget *Panel);

/// The message of a settings failure, followed by the settings file (or
/// registry key) it concerns, as the error report shows it.
QString SettingsFailureText(const std::exception &Error);

struct TWinMinMaxInfo {
  int32_t MaxPosLeft = 0, MaxPosTop = 0, MaxSizeHeight = 0, MaxSizeWidth = 0;
  int32_t MaxTrackHeight = 0, MaxTrackWidth = 0, MinTrackHeight = 0, MinTrackWidth = 0;
};

class TFormPlacement : public QObject {
  Q_OBJECT
public:
  /// Attaches to Window's show and close events; the window must call
  /// WindowDestroying first thing in its destructor.
  explicit TFormPlacement(QWidget *Window);

  QString IniFileName = SettingsKeyPath;
  QString IniSection = "MainForms";
  int Version = 0;
  bool Active = true;
  TWinMinMaxInfo MinMaxInfo;

  bool IsRestored() const { return FIsRestored; }
  bool IsSaved() const { return FIsSaved; }
  /// True once a save has failed and been reported; a later save that fails
  /// too is then not reported again.
  bool SaveFailed() const { return FSaveFailed; }

  /// Restores placement and values; failures reach the error report.
  void LoadWindowState();
  /// Saves them, once a restore has run; failures reach the error report.
  void SaveWindowState();
  /// The destroy step: saves unless a close request saved already.
  void WindowDestroying();
  /// "(WIDTHxHEIGHT)" of the primary screen now.
  static QString ScreenSizeSuffix();
  /// The primary screen's logical pixels per inch, as at the first call.
  static int PixelsPerInch();

protected:
  bool eventFilter(QObject *Watched, QEvent *Event) override;
  virtual void StorePlacementValues(TRegIniFile &Store);
  virtual void LoadPlacementValues(const TRegIniFile &Store);
  void ApplyTrackingLimits();
  QWidget *Window() const { return FWindow; }

private:
  void LoadPosition(const TRegIniFile &Store);
  void LoadState(const TRegIniFile &Store);
  QPointer<QWidget> FWindow;
  bool FIsRestored = false, FIsSaved = false, FIsDestroying = false, FSaveFailed = false;
};

class TFormStorage : public TFormPlacement {
  Q_OBJECT
public:
  /// Entries "Component.Property" bound to the window's children by name;
  /// entries that do not split into two names, or name no child, are
  /// dropped. Properties: Text (line edits, and the chosen item of
  /// drop-down lists), Checked (check boxes), Height (panels), Lines
  /// (memos), names matched without regard to case.
  TFormStorage(QWidget *Window, const QStringList &StoredProps);
  const QStringList &StoredProps() const { return FStoredProps; }
  /// Reads the stored property values alone, as the restore at the first
  /// show will again, for a window that works before it is shown. A store
  /// that cannot be read leaves them as they are; the restore reports it.
  void LoadPropertyValues();

protected:
  void StorePlacementValues(TRegIniFile &Store) override;
  void LoadPlacementValues(const TRegIniFile &Store) override;
  void WritePropertyValues(TRegIniFile &Store);
  void ReadPropertyValues(const TRegIniFile &Store);

private:
  QStringList FStoredProps;
};
