// TColorGrid: the 16-colour grid of the colour editor, four cells to a row
// in the order black, maroon, green, olive / navy, purple, teal, silver /
// gray, red, lime, yellow / blue, fuchsia, aqua, white.
//
// The cell that holds the foreground selection is marked "FG". A left click
// on a cell, or the F key on the cell that has the keyboard focus (the
// arrow keys move it), makes it the foreground cell while the foreground
// selection is enabled. There is no background selection: a right click
// changes nothing.
#pragma once

#include <QWidget>

#include "Types.h"

class TColorGrid : public QWidget {
  Q_OBJECT
public:
  explicit TColorGrid(QWidget *Parent = nullptr);

  static constexpr int CellCount = 16;
  /// The colour of cell Index (0..15).
  static TColor CellColor(int Index);
  /// The first cell whose colour has Color's red, green and blue (a system
  /// colour is first resolved to what it looks like now), or -1.
  static int CellOf(TColor Color);

  /// The foreground cell, or -1 when none is marked.
  int ForegroundIndex() const { return FForegroundIndex; }
  /// Moves the foreground selection; a move to another cell redraws the
  /// grid and emits Changed, whether the selection is enabled or not.
  /// Setting the cell it holds already does nothing.
  void SetForegroundIndex(int Index);
  /// The same without Changed: for showing a colour that no cell holds
  /// exactly (-1, or a system colour), which must not be replaced by the
  /// cell's colour.
  void ShowForegroundIndex(int Index);
  /// The colour of the foreground cell.
  TColor ForegroundColor() const { return CellColor(FForegroundIndex < 0 ? 0 : FForegroundIndex); }

  bool ForegroundEnabled() const { return FForegroundEnabled; }
  /// While false no mark is drawn and clicks and keys pick nothing.
  void SetForegroundEnabled(bool Enabled);
  bool BackgroundEnabled() const { return false; }

  /// The cell that has the keyboard focus.
  int FocusIndex() const { return FFocusIndex; }
  /// Where cell Index is drawn.
  QRect CellRect(int Index) const;

signals:
  void Changed();

protected:
  void paintEvent(QPaintEvent *Event) override;
  void mousePressEvent(QMouseEvent *Event) override;
  void keyPressEvent(QKeyEvent *Event) override;
  QSize sizeHint() const override { return QSize(120, 108); }

private:
  int FForegroundIndex = 0;
  int FFocusIndex = 0;
  bool FForegroundEnabled = true;
};
