#include "FormStorage.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QTimer>
#include <QWindow>
#include <exception>

#include "Application.h"
#include "RegIniFile.h"
#include "TextUtils.h"

namespace {

// The settings' trimming rule (codes up to 32), on the UTF-8 bytes: every
// byte up to 32 there is a character of its own.
QString TrimmedText(const QString &Text) {
  const QByteArray Bytes = Text.toUtf8();
  const std::string_view Kept = Trim(std::string_view(Bytes.constData(), Bytes.size()));
  return QString::fromUtf8(Kept.data(), static_cast<qsizetype>(Kept.size()));
}

int32_t IntegerOr(const QString &Text, int32_t Default) {
  return ParseIntegerOr(Text.toStdString(), Default);
}

// Word N (from 1) of a text cut at every run of blanks and commas; empty
// fields between commas are no words.
QString WordOf(const QString &Text, int N) {
  static const QRegularExpression Separators("[ ,]+");
  const QStringList Words = Text.split(Separators, Qt::SkipEmptyParts);
  return N <= Words.size() ? Words[N - 1] : QString();
}

// A memo's lines as a line list holds them: a final line end opens no line.
QStringList LinesOf(const QPlainTextEdit *Memo) {
  QString Text = Memo->toPlainText();
  if (Text.isEmpty())
    return {};
  if (Text.endsWith('\n'))
    Text.chop(1);
  return Text.split('\n');
}

enum class TKind { Text, Boolean, Integer, Lines, Choice, None };

// What a stored property is, and its name as stored ("Text", "Checked"...).
TKind KindOf(QObject *Component, const QString &Property, QString &Name) {
  const QString Lower = Property.toLower();
  if (Lower == "text" && qobject_cast<QLineEdit *>(Component))
    return Name = "Text", TKind::Text;
  if (Lower == "checked" && qobject_cast<QAbstractButton *>(Component))
    return Name = "Checked", TKind::Boolean;
  if (Lower == "height" && qobject_cast<QWidget *>(Component))
    return Name = "Height", TKind::Integer;
  if (Lower == "lines" && qobject_cast<QPlainTextEdit *>(Component))
    return Name = "Lines", TKind::Lines;
  if (Lower == "text" && qobject_cast<QComboBox *>(Component))
    return Name = "Text", TKind::Choice;
  return TKind::None;
}

void Report(const std::exception &Error) { ShowErrorReport(SettingsFailureText(Error)); }

// A height asked for while the panel's splitter has never been laid out,
// kept on the panel until it is.
const char *const PendingHeight = "PendingPanelHeight";

// A panel between splitter handles is sized through its splitter, the
// neighbour that fills the rest giving or taking the difference.
void ApplyPanelHeight(QSplitter *Splitter, QWidget *Panel, int Height) {
  QList<int> Sizes = Splitter->sizes();
  const int Index = Splitter->indexOf(Panel);
  const int Other = Index == 0 ? 1 : Index - 1;
  if (Index < 0 || Other >= Sizes.size())
    return;
  Sizes[Other] += Sizes[Index] - Height;
  Sizes[Index] = Height;
  Splitter->setSizes(Sizes);
}

// A splitter on a page that has never been shown has only the size it was
// made with, and sizes given to it now would be scaled down to that. So
// its panels' heights wait until its first resize, which brings its real
// size.
class TFirstLayout : public QObject {
public:
  explicit TFirstLayout(QSplitter *Splitter) : QObject(Splitter) {
    setObjectName(Name);
    Splitter->installEventFilter(this);
  }
  static constexpr const char *Name = "FirstLayout";

protected:
  bool eventFilter(QObject *Watched, QEvent *Event) override {
    // A splitter never laid out gets its real size in the resize before it
    // is first shown; one laid out before keeps its size and is only shown.
    if (Event->type() != QEvent::Resize && Event->type() != QEvent::Show)
      return false;
    auto *Splitter = static_cast<QSplitter *>(Watched);
    Splitter->removeEventFilter(this);
    setObjectName(QString()); // heights asked for from now on wait for the next one
    deleteLater();
    // After the splitter's own resize handling, which would otherwise
    // spread its new size over the old proportions again.
    QTimer::singleShot(0, Splitter, [Splitter] {
      for (int K = 0; K < Splitter->count(); ++K) {
        QWidget *Panel = Splitter->widget(K);
        const QVariant Height = Panel->property(PendingHeight);
        if (Height.isValid()) {
          Panel->setProperty(PendingHeight, QVariant());
          ApplyPanelHeight(Splitter, Panel, Height.toInt());
        }
      }
    });
    return false;
  }
};

} // namespace

QString SettingsFailureText(const std::exception &Error) {
  // "Failed to create key MainForms" names a section; the user needs the
  // file (or registry key) to look at.
  return ErrorText(Error) + "\n\nSettings: " +
         QDir::toNativeSeparators(TRegIniFile().FileName());
}

void SetPanelHeight(QWidget *Panel, int Height) {
  auto *Splitter = qobject_cast<QSplitter *>(Panel->parentWidget());
  if (!Splitter) {
    Panel->resize(Panel->width(), Height);
    return;
  }
  if (Splitter->isVisible()) {
    ApplyPanelHeight(Splitter, Panel, Height);
    return;
  }
  Panel->setProperty(PendingHeight, Height);
  if (!Splitter->findChild<QObject *>(TFirstLayout::Name, Qt::FindDirectChildrenOnly))
    new TFirstLayout(Splitter);
}

int PanelHeight(const QWidget *Panel) {
  const QVariant Pending = Panel->property(PendingHeight);
  return Pending.isValid() ? Pending.toInt() : Panel->height();
}

TFormPlacement::TFormPlacement(QWidget *Window) : QObject(Window), FWindow(Window) {
  Window->installEventFilter(this);
}

QString TFormPlacement::ScreenSizeSuffix() {
  const QScreen *Screen = QGuiApplication::primaryScreen();
  const QSize Size = Screen ? Screen->size() : QSize();
  return QStringLiteral("(%1x%2)").arg(Size.width()).arg(Size.height());
}

int TFormPlacement::PixelsPerInch() {
  static const int Value = [] {
    const QScreen *Screen = QGuiApplication::primaryScreen();
    return Screen ? qRound(Screen->logicalDotsPerInchY()) : 96;
  }();
  return Value;
}

bool TFormPlacement::eventFilter(QObject *Watched, QEvent *Event) {
  if (Watched == FWindow && Active) {
    if (Event->type() == QEvent::Show && !Event->spontaneous()) {
      ApplyTrackingLimits();
      LoadWindowState();
    } else if (Event->type() == QEvent::Close) {
      SaveWindowState();
    }
  }
  return false;
}

void TFormPlacement::ApplyTrackingLimits() {
  QWindow *Handle = FWindow ? FWindow->windowHandle() : nullptr;
  if (!Handle)
    return;
  // Hints to the window manager only: a window that starts smaller than the
  // minimum is not enlarged, but the user cannot make it smaller.
  if (MinMaxInfo.MinTrackWidth || MinMaxInfo.MinTrackHeight)
    Handle->setMinimumSize(QSize(MinMaxInfo.MinTrackWidth, MinMaxInfo.MinTrackHeight));
  if (MinMaxInfo.MaxTrackWidth || MinMaxInfo.MaxTrackHeight)
    Handle->setMaximumSize(
        QSize(MinMaxInfo.MaxTrackWidth ? MinMaxInfo.MaxTrackWidth : QWIDGETSIZE_MAX,
              MinMaxInfo.MaxTrackHeight ? MinMaxInfo.MaxTrackHeight : QWIDGETSIZE_MAX));
}

void TFormPlacement::LoadWindowState() {
  FIsSaved = false;
  try {
    const TRegIniFile Store(IniFileName);
    if (Store.ReadInteger(IniSection, "FormVersion", 0) >= Version)
      LoadPlacementValues(Store);
    FIsRestored = true;
  } catch (const std::exception &Error) {
    Report(Error); // the window is shown all the same
  }
}

void TFormPlacement::LoadPlacementValues(const TRegIniFile &Store) {
  LoadPosition(Store);
  LoadState(Store);
}

void TFormPlacement::LoadPosition(const TRegIniFile &Store) {
  const QRect Current = FWindow->geometry();
  bool Found = false;
  Store.ReadInteger(IniSection, "Flags", 0); // no placement flags on this platform
  const QString Suffix = ScreenSizeSuffix();
  auto ReadPair = [&](const QString &Name) {
    QString Text = Store.ReadString(IniSection, Name + Suffix, "");
    return Text.isEmpty() ? Store.ReadString(IniSection, Name, "") : Text;
  };
  if (!ReadPair("MinMaxPos").isEmpty())
    Found = true; // minimized and maximized positions are the platform's
  int Left = Current.left(), Top = Current.top();
  int Right = Current.left() + Current.width(), Bottom = Current.top() + Current.height();
  const QString Normal = ReadPair("NormPos");
  if (!Normal.isEmpty()) {
    Found = true;
    Left = IntegerOr(WordOf(Normal, 1), Left);
    Top = IntegerOr(WordOf(Normal, 2), Top);
    Right = IntegerOr(WordOf(Normal, 3), Right);
    Bottom = IntegerOr(WordOf(Normal, 4), Bottom);
  }
  if (Store.ReadInteger(IniSection, "PixelsPerInch", PixelsPerInch()) != PixelsPerInch())
    Found = false; // sizes from another resolution would not fit
  if (!Found || Right <= Left)
    return;
  // The rectangle is the window's own, without the window manager's frame:
  // the frame is not known before the window is on the screen, and a
  // rectangle that included it would grow by the frame at every restart.
  // setGeometry places the window itself there (move would place the frame).
  FWindow->setGeometry(Left, Top, Right - Left, Bottom - Top);
}

void TFormPlacement::LoadState(const TRegIniFile &Store) {
  const int ShowCmd = Store.ReadInteger(IniSection, "ShowCmd", 0);
  const Qt::WindowStates Others =
      FWindow->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
  if (ShowCmd == 2 || ShowCmd == 6 || ShowCmd == 7) {
    // Shown normal first, then minimized once the show is over.
    FWindow->setWindowState(Others);
    QTimer::singleShot(0, FWindow, [Window = FWindow] {
      if (Window)
        Window->showMinimized();
    });
    return;
  }
  FWindow->setWindowState(ShowCmd == 3 ? Others | Qt::WindowMaximized : Others);
}

void TFormPlacement::SaveWindowState() {
  if (!FIsRestored || !Active)
    return;
  try {
    TRegIniFile Store(IniFileName);
    Store.WriteInteger(IniSection, "FormVersion", Version);
    StorePlacementValues(Store);
    FIsSaved = true;
  } catch (const std::exception &Error) {
    // Closing goes on and the destroy step tries again; an unwritable
    // settings location is one message to the user, not one per attempt.
    if (!FSaveFailed)
      Report(Error);
    FSaveFailed = true;
  }
}

void TFormPlacement::StorePlacementValues(TRegIniFile &Store) {
  const int ShowCmd = FWindow->isMinimized() ? 2 : FWindow->isMaximized() ? 3 : 1;
  // The normal rectangle also of a maximized or minimized window: its
  // restored geometry, without the frame (see LoadPosition).
  const QRect Normal = ShowCmd == 1 ? FWindow->geometry() : FWindow->normalGeometry();
  Store.WriteInteger(IniSection, "Flags", 0);
  Store.WriteInteger(IniSection, "ShowCmd", ShowCmd);
  Store.WriteInteger(IniSection, "PixelsPerInch", PixelsPerInch());
  const QString Suffix = ScreenSizeSuffix();
  const QString MinMax = "-1,-1,-1,-1"; // no such positions on this platform
  Store.WriteString(IniSection, "MinMaxPos" + Suffix, MinMax);
  Store.WriteString(IniSection, "MinMaxPos", MinMax);
  const QString Rect = QStringLiteral("%1,%2,%3,%4")
                           .arg(Normal.left())
                           .arg(Normal.top())
                           .arg(Normal.left() + Normal.width())
                           .arg(Normal.top() + Normal.height());
  Store.WriteString(IniSection, "NormPos" + Suffix, Rect);
  Store.WriteString(IniSection, "NormPos", Rect);
  Store.WriteBool(IniSection, "Visible", FIsDestroying);
}

void TFormPlacement::WindowDestroying() {
  if (!Active || FIsSaved)
    return;
  FIsDestroying = true;
  SaveWindowState();
  FIsDestroying = false;
}

TFormStorage::TFormStorage(QWidget *Window, const QStringList &StoredProps)
    : TFormPlacement(Window) {
  for (const QString &Entry : StoredProps) {
    const qsizetype Dot = Entry.indexOf('.');
    const QString Component = TrimmedText(Entry.left(Dot));
    const QString Property = TrimmedText(Entry.mid(Dot + 1));
    if (Dot < 0 || Component.isEmpty() || Property.isEmpty() ||
        !Window->findChild<QObject *>(Component))
      continue;
    FStoredProps << Component + '.' + Property;
  }
}

void TFormStorage::LoadPropertyValues() {
  try {
    const TRegIniFile Store(IniFileName);
    if (Store.ReadInteger(IniSection, "FormVersion", 0) >= Version)
      ReadPropertyValues(Store);
  } catch (const std::exception &) {
    // Said once, by the restore that follows.
  }
}

void TFormStorage::LoadPlacementValues(const TRegIniFile &Store) {
  TFormPlacement::LoadPlacementValues(Store);
  ReadPropertyValues(Store);
}

void TFormStorage::StorePlacementValues(TRegIniFile &Store) {
  TFormPlacement::StorePlacementValues(Store);
  WritePropertyValues(Store);
}

void TFormStorage::ReadPropertyValues(const TRegIniFile &Store) {
  for (const QString &Entry : FStoredProps) {
    QObject *Component = Window()->findChild<QObject *>(Entry.section('.', 0, 0));
    QString Property;
    const TKind Kind = Component ? KindOf(Component, Entry.section('.', 1), Property) : TKind::None;
    const QString Name = Component ? Component->objectName() + '_' + Property : QString();
    // A value that cannot be read leaves its property as it was.
    try {
      switch (Kind) {
      case TKind::Text: {
        auto *Edit = qobject_cast<QLineEdit *>(Component);
        Edit->setText(TrimmedText(Store.ReadString(IniSection, Name, Edit->text())));
        break;
      }
      case TKind::Integer: {
        auto *Widget = qobject_cast<QWidget *>(Component);
        const QString Text =
            Store.ReadString(IniSection, Name, QString::number(PanelHeight(Widget)));
        SetPanelHeight(Widget, IntegerOr(TrimmedText(Text), 0));
        break;
      }
      case TKind::Boolean: {
        auto *Box = qobject_cast<QAbstractButton *>(Component);
        const QString Text =
            TrimmedText(Store.ReadString(IniSection, Name, Box->isChecked() ? "True" : "False"));
        if (Text.compare("False", Qt::CaseInsensitive) == 0)
          Box->setChecked(false);
        else if (Text.compare("True", Qt::CaseInsensitive) == 0)
          Box->setChecked(true);
        break;
      }
      case TKind::Lines: {
        const QString Section = IniSection + '.' + Name;
        int Count = IntegerOr(TrimmedText(Store.ReadString(Section, "Count", "0")), 0);
        if (Count <= 0)
          break;
        // A damaged Count may be huge: lines past the stored ones would be
        // empty anyway, so a few more than there are values is enough.
        Count = std::min(Count, Store.ValueCount(Section) + 1);
        QStringList Lines;
        for (int K = 0; K < Count; ++K)
          Lines << Store.ReadString(Section, QStringLiteral("Item%1").arg(K), "");
        qobject_cast<QPlainTextEdit *>(Component)->setPlainText(Lines.join('\n'));
        break;
      }
      case TKind::Choice: {
        // A stored item the list no longer has leaves the choice as it is.
        auto *Box = qobject_cast<QComboBox *>(Component);
        const int Index =
            Box->findText(TrimmedText(Store.ReadString(IniSection, Name, Box->currentText())));
        if (Index >= 0)
          Box->setCurrentIndex(Index);
        break;
      }
      case TKind::None:
        break;
      }
    } catch (const std::exception &) {
    }
  }
}

void TFormStorage::WritePropertyValues(TRegIniFile &Store) {
  for (const QString &Entry : FStoredProps) {
    QObject *Component = Window()->findChild<QObject *>(Entry.section('.', 0, 0));
    if (!Component)
      continue; // gone since the window loaded
    QString Property;
    const TKind Kind = KindOf(Component, Entry.section('.', 1), Property);
    const QString Name = Component->objectName() + '_' + Property;
    switch (Kind) {
    case TKind::Text:
      Store.WriteString(IniSection, Name,
                        TrimmedText(qobject_cast<QLineEdit *>(Component)->text()));
      break;
    case TKind::Integer:
      Store.WriteInteger(IniSection, Name, PanelHeight(qobject_cast<QWidget *>(Component)));
      break;
    case TKind::Boolean:
      Store.WriteString(IniSection, Name,
                        qobject_cast<QAbstractButton *>(Component)->isChecked() ? "True" : "False");
      break;
    case TKind::Lines: {
      const QString Section = IniSection + '.' + Name;
      Store.EraseSection(Section);
      const QStringList Lines = LinesOf(qobject_cast<QPlainTextEdit *>(Component));
      if (Lines.isEmpty())
        break;
      Store.WriteInteger(Section, "Count", static_cast<int32_t>(Lines.size()));
      for (qsizetype K = 0; K < Lines.size(); ++K)
        Store.WriteString(Section, QStringLiteral("Item%1").arg(K), Lines[K]);
      break;
    }
    case TKind::Choice:
      Store.WriteString(IniSection, Name, qobject_cast<QComboBox *>(Component)->currentText());
      break;
    case TKind::None:
      break;
    }
  }
}
