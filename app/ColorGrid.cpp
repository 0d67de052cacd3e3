#include "ColorGrid.h"

#include <QPainter>

namespace {
constexpr TColor CellColors[TColorGrid::CellCount] = {
    clBlack, clMaroon, clGreen, clOlive,  clNavy, clPurple,  clTeal, clSilver,
    clGray,  clRed,    clLime,  clYellow, clBlue, clFuchsia, clAqua, clWhite,
};

QColor ToQColor(TColor Color) { // 0x00BBGGRR
  return QColor(Color & 0xFF, (Color >> 8) & 0xFF, (Color >> 16) & 0xFF);
}
} // namespace

TColorGrid::TColorGrid(QWidget *Parent) : QWidget(Parent) { setFocusPolicy(Qt::StrongFocus); }

TColor TColorGrid::CellColor(int Index) { return CellColors[Index]; }

QRect TColorGrid::CellRect(int Index) const {
  const int W = width() / 4, H = height() / 4;
  return QRect(Index % 4 * W, Index / 4 * H, W, H);
}

void TColorGrid::paintEvent(QPaintEvent *) {
  QPainter Painter(this);
  for (int K = 0; K < CellCount; ++K) {
    const QRect Cell = CellRect(K).adjusted(1, 1, -1, -1);
    Painter.fillRect(Cell, ToQColor(CellColors[K]));
    Painter.setPen(palette().color(QPalette::Mid));
    Painter.drawRect(Cell.adjusted(0, 0, -1, -1));
  }
  const QRect Mark = CellRect(FForegroundIndex);
  // The mark in the colour that stands out most from its cell.
  Painter.setPen(ToQColor(CellColors[FForegroundIndex]).lightness() < 128 ? Qt::white : Qt::black);
  Painter.drawText(Mark, Qt::AlignCenter, QStringLiteral("FG"));
}
