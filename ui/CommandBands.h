#pragma once

#include <QSplitter>
#include <cstdint>
#include <optional>

class QMenuBar;
class QToolBar;

namespace kivo {

class RegKey;

// The five layout values of the band row, under their names in the settings
// store, with their defaults.
struct BandValues {
  uint32_t MenuStyle = 260;    // CommandBandMenuStyle
  uint32_t MenuWidth = 174;    // CommandBandMenuWidth
  uint32_t ToolStyle = 4;      // CommandBandToolStyle
  uint32_t ToolWidth = 442;    // CommandBandToolWidth
  uint32_t ToolMaximized = 0;  // CommandBandToolMaximized

  friend bool operator==(const BandValues&, const BandValues&) = default;
};

// Reads the five values from `key`, each with its default when missing.
BandValues ReadBandValues(RegKey& key);

// The band row at the top of the main window: the menu band and the tool
// band side by side, as on the handheld, with a grip between them that the
// user drags to share the row.
//
// What the stored values control here:
// - MenuWidth: the menu band's width; the tool band, the last in the row,
//   takes the rest of the row. ToolWidth is written as the tool band's width
//   when the window closes, but cannot size a band that fills the row.
// - ToolMaximized: the tool band takes the whole row, the menu band keeps
//   only its minimum (its "»" button still opens every menu). Dragging the
//   grip to the far left maximises the tool band, and is stored as such.
// - ToolStyle: bit 0x8 hides the tool band, bit 0x100 (no gripper) locks the
//   grip. MenuStyle is kept as read: the menu band is always shown, because
//   some commands (options, About) have no other way in.
// Both styles are written back exactly as read.
class CommandBands final : public QSplitter {
  Q_OBJECT

 public:
  static constexpr uint32_t kStyleHidden = 0x8;
  static constexpr uint32_t kStyleNoGripper = 0x100;

  // Puts `menuBand` and `toolBand` in one row; both become children of it.
  CommandBands(QMenuBar* menuBand, QToolBar* toolBand, QWidget* parent = nullptr);

  // Lays the bands out as `values` describe.
  void Apply(const BandValues& values);
  // Returns the values that describe the bands as they are now.
  BandValues Values() const;
  // Returns the values that described the bands when they were first laid
  // out after the last Apply, before the user could move anything; what
  // was applied while they have not been laid out yet.
  const BandValues& RestoredValues() const { return restored_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int MenuMinimum() const;
  void PlacePendingGrip();
  void PlaceGrip(int menuWidth);

  QMenuBar* menuBand_;
  QToolBar* toolBand_;
  BandValues applied_;
  BandValues restored_;
  // The menu band's width to show once the row has its real width.
  std::optional<int> pendingMenuWidth_;
};

}  // namespace kivo
