#include "ColorGrid.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>

namespace {

constexpr TColor CellColors[TColorGrid::CellCount] = {
    clBlack, clMaroon, clGreen, clOlive,  clNavy, clPurple,  clTeal, clSilver,
    clGray,  clRed,    clLime,  clYellow, clBlue, clFuchsia, clAqua, clWhite,
};

QColor ToQColor(TColor Color) { // 0x00BBGGRR
  return QColor(Color & 0xFF, (Color >> 8) & 0xFF, (Color >> 16) & 0xFF);
}

// What a system colour looks like now, from the application's palette;
// colours without a palette role of their own take the nearest one.
QColor SystemColor(TColor Color) {
  const QPalette Palette = QApplication::palette();
  switch (Color) {
  case clWindow:
  case clInfoBk:
    return Palette.color(QPalette::Base);
  case clWindowText:
  case clMenuText:
  case clCaptionText:
  case clInfoText:
    return Palette.color(QPalette::Text);
  case clBtnFace:
  case clMenu:
  case clActiveBorder:
  case clInactiveBorder:
  case clScrollBar:
  case clInactiveCaption:
  case cl3DLight:
    return Palette.color(QPalette::Button);
  case clBtnText:
    return Palette.color(QPalette::ButtonText);
  case clHighlight:
  case clActiveCaption:
    return Palette.color(QPalette::Highlight);
  case clHighlightText:
    return Palette.color(QPalette::HighlightedText);
  case clBtnShadow:
    return Palette.color(QPalette::Mid);
  case cl3DDkShadow:
  case clWindowFrame:
    return Palette.color(QPalette::Shadow);
  case clBtnHighlight:
    return Palette.color(QPalette::Light);
  case clGrayText:
  case clInactiveCaptionText:
    return Palette.color(QPalette::Disabled, QPalette::Text);
  default:
    return Palette.color(QPalette::Window); // clBackground, clAppWorkSpace
  }
}

} // namespace

TColorGrid::TColorGrid(QWidget *Parent) : QWidget(Parent) { setFocusPolicy(Qt::StrongFocus); }

TColor TColorGrid::CellColor(int Index) { return CellColors[Index]; }

int TColorGrid::CellOf(TColor Color) {
  const QColor Wanted = Color < 0 ? SystemColor(Color) : ToQColor(Color);
  for (int K = 0; K < CellCount; ++K)
    if (ToQColor(CellColors[K]).rgb() == Wanted.rgb())
      return K;
  return -1;
}

void TColorGrid::SetForegroundIndex(int Index) {
  if (Index == FForegroundIndex)
    return;
  ShowForegroundIndex(Index);
  emit Changed();
}

void TColorGrid::ShowForegroundIndex(int Index) {
  FForegroundIndex = Index;
  if (Index >= 0)
    FFocusIndex = Index;
  update();
}

void TColorGrid::SetForegroundEnabled(bool Enabled) {
  FForegroundEnabled = Enabled;
  update();
}

QRect TColorGrid::CellRect(int Index) const {
  const int W = width() / 4, H = height() / 4;
  return QRect(Index % 4 * W, Index / 4 * H, W, H);
}

void TColorGrid::paintEvent(QPaintEvent *) {
  QPainter Painter(this);
  for (int K = 0; K < CellCount; ++K) {
    const QRect Cell = CellRect(K).adjusted(2, 2, -2, -2);
    Painter.fillRect(Cell, ToQColor(CellColors[K]));
    Painter.setPen(palette().color(QPalette::Dark));
    Painter.drawRect(Cell.adjusted(0, 0, -1, -1));
  }
  if (FForegroundEnabled && FForegroundIndex >= 0) {
    const QRect Mark = CellRect(FForegroundIndex);
    // The mark in whichever of black and white stands out from its cell.
    Painter.setPen(ToQColor(CellColors[FForegroundIndex]).lightness() < 128 ? Qt::white
                                                                            : Qt::black);
    QFont Bold = font();
    Bold.setBold(true);
    Painter.setFont(Bold);
    Painter.drawText(Mark, Qt::AlignCenter, QStringLiteral("FG"));
  }
  if (hasFocus()) {
    QStyleOptionFocusRect Option;
    Option.initFrom(this);
    Option.rect = CellRect(FFocusIndex);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &Option, &Painter, this);
  }
}

void TColorGrid::mousePressEvent(QMouseEvent *Event) {
  if (Event->button() != Qt::LeftButton)
    return; // no background selection
  for (int K = 0; K < CellCount; ++K)
    if (CellRect(K).contains(Event->position().toPoint())) {
      FFocusIndex = K;
      if (FForegroundEnabled)
        SetForegroundIndex(K);
      update();
      return;
    }
}

void TColorGrid::keyPressEvent(QKeyEvent *Event) {
  const int Row = FFocusIndex / 4, Column = FFocusIndex % 4;
  switch (Event->key()) {
  case Qt::Key_Left:
    FFocusIndex = Row * 4 + (Column + 3) % 4;
    break;
  case Qt::Key_Right:
    FFocusIndex = Row * 4 + (Column + 1) % 4;
    break;
  case Qt::Key_Up:
    FFocusIndex = (Row + 3) % 4 * 4 + Column;
    break;
  case Qt::Key_Down:
    FFocusIndex = (Row + 1) % 4 * 4 + Column;
    break;
  case Qt::Key_F:
    if (FForegroundEnabled)
      SetForegroundIndex(FFocusIndex);
    break;
  default:
    QWidget::keyPressEvent(Event);
    return;
  }
  update();
}
