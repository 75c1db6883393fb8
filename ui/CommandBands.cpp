#include "ui/CommandBands.h"

#include <QMenuBar>
#include <QResizeEvent>
#include <QToolBar>
#include <algorithm>

#include "urllist/Settings.h"

namespace kivo {

namespace {

// Widths beyond this are taken as damage rather than as a wish for a band
// wider than any screen.
constexpr uint32_t kMaxBandWidth = 16384;

}  // namespace

BandValues ReadBandValues(RegKey& key) {
  BandValues values;
  values.MenuStyle = ReadDwordSetting(key, Setting::CommandBandMenuStyle);
  values.MenuWidth = ReadDwordSetting(key, Setting::CommandBandMenuWidth);
  values.ToolStyle = ReadDwordSetting(key, Setting::CommandBandToolStyle);
  values.ToolWidth = ReadDwordSetting(key, Setting::CommandBandToolWidth);
  values.ToolMaximized = ReadDwordSetting(key, Setting::CommandBandToolMaximized);
  return values;
}

CommandBands::CommandBands(QMenuBar* menuBand, QToolBar* toolBand, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent), menuBand_(menuBand), toolBand_(toolBand) {
  setObjectName(QStringLiteral("commandBands"));
  setAccessibleName(QStringLiteral("ｺﾏﾝﾄﾞﾊﾞﾝﾄﾞ"));
  setChildrenCollapsible(false);
  addWidget(menuBand_);
  addWidget(toolBand_);
  // The menu band keeps its width when the window changes size; the tool
  // band, the last one, takes up the rest of the row.
  setStretchFactor(0, 0);
  setStretchFactor(1, 1);
  handle(1)->setObjectName(QStringLiteral("toolBandGrip"));
  handle(1)->setAccessibleName(QStringLiteral("ﾂｰﾙﾊﾞﾝﾄﾞのｸﾞﾘｯﾌﾟ"));
  Apply(BandValues{});
}

void CommandBands::Apply(const BandValues& values) {
  applied_ = values;
  restored_ = values;
  toolBand_->setVisible((values.ToolStyle & kStyleHidden) == 0);
  handle(1)->setEnabled((values.ToolStyle & kStyleNoGripper) == 0);
  const int width = static_cast<int>(std::min(values.MenuWidth, kMaxBandWidth));
  pendingMenuWidth_ = width;
  if (values.ToolMaximized != 0) {
    PlaceGrip(MenuMinimum());
  } else {
    PlaceGrip(width);
  }
}

BandValues CommandBands::Values() const {
  BandValues values = applied_;
  const QList<int> widths = sizes();
  // Never laid out, or the tool band hidden and the menu band filling the
  // row: the grip's place is not shown, so what was applied still holds.
  if (!isVisible() || widths.size() < 2 || !toolBand_->isVisible()) {
    return values;
  }
  values.ToolMaximized = widths[0] <= MenuMinimum() ? 1 : 0;
  if (values.ToolMaximized == 0) {
    values.MenuWidth = static_cast<uint32_t>(widths[0]);
  }
  values.ToolWidth = static_cast<uint32_t>(widths[1]);
  return values;
}

void CommandBands::showEvent(QShowEvent* event) {
  QSplitter::showEvent(event);
  PlacePendingGrip();
}

void CommandBands::resizeEvent(QResizeEvent* event) {
  QSplitter::resizeEvent(event);
  if (isVisible()) {
    PlacePendingGrip();
  }
}

void CommandBands::PlacePendingGrip() {
  // QSplitter shares out a new width by the weight of the old widths; the
  // first real width must instead go to the tool band, so that the stored
  // menu width comes back unchanged.
  if (!pendingMenuWidth_ || width() <= 0) {
    return;
  }
  PlaceGrip(applied_.ToolMaximized != 0 ? MenuMinimum() : *pendingMenuWidth_);
  pendingMenuWidth_.reset();
  restored_ = Values();
}

int CommandBands::MenuMinimum() const {
  return std::max(menuBand_->minimumSizeHint().width(), 1);
}

void CommandBands::PlaceGrip(int menuWidth) {
  const int row = width();
  const int menu = std::max(menuWidth, MenuMinimum());
  setSizes({menu, std::max(row - menu - handleWidth(), 1)});
}

}  // namespace kivo
