// TColorGrid: the 16-colour grid of the colour editor, four cells to a row
// in the order black, maroon, green, olive / navy, purple, teal, silver /
// gray, red, lime, yellow / blue, fuchsia, aqua, white. The cell holding the
// foreground selection is marked "FG".
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

  int ForegroundIndex() const { return FForegroundIndex; }

protected:
  void paintEvent(QPaintEvent *Event) override;

private:
  QRect CellRect(int Index) const;
  int FForegroundIndex = 0;
};
