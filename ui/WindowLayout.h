#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "ui/CommandBands.h"

class QHeaderView;
class QMainWindow;

namespace kivo {

// The main window's layout in the settings store: the list's column widths,
// the five values of the band row, and the window's own size and position
// (the text of QWidget::saveGeometry, beside the other values). It is read
// once when the window is made and written back when the window closes.
//
// Only what the user changed is written. What the window shows can differ
// from what is stored without anyone touching it: a column is never
// narrower than the style allows (39 pixels become 40 with some fonts), and
// the tool band takes whatever the window leaves it. So what is written is
// compared with what was shown at the start, not with what is stored; and
// each value written rewrites and syncs the whole settings file, so
// unchanged values are never written again.
class WindowLayout {
 public:
  static constexpr int kColumnCount = 4;

  // Binds the layout to the window's parts, which must outlive it.
  WindowLayout(QMainWindow& window, CommandBands& bands, QHeaderView& columns);

  // Reads the stored values (defaults where there are none) and shows them.
  void Restore();
  // Tells the layout that the window is being shown: only now has it its
  // frame and place on the screen, which count as what it showed at the
  // start.
  void WindowShown();
  // Writes each value that the user changed since Restore and the store
  // does not hold yet.
  void Save();

 private:
  struct Values {
    BandValues Bands;
    std::array<uint32_t, kColumnCount> Columns = {};
    std::u16string Geometry;
  };
  Values Current() const;

  QMainWindow& window_;
  CommandBands& bands_;
  QHeaderView& columns_;
  // What the store holds, and what the window showed once it was restored.
  Values stored_;
  Values shown_;
  bool geometryShown_ = false;
};

}  // namespace kivo
