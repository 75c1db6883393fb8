#include "ui/WindowLayout.h"

#include <QHeaderView>
#include <QMainWindow>
#include <QTimer>
#include <algorithm>

#include "urllist/RegKey.h"
#include "urllist/Settings.h"

namespace kivo {

namespace {

constexpr std::u16string_view kGeometryValue = u"MainWindowGeometry";
constexpr uint32_t kGeometryCapacity = 1024;
// Column widths beyond this are taken as damage.
constexpr uint32_t kMaxColumnWidth = 16384;
// A first start opens the window wide enough for the four default columns.
constexpr QSize kDefaultSize(660, 420);

constexpr Setting kColumnSettings[WindowLayout::kColumnCount] = {
    Setting::NameWidth, Setting::UrlWidth, Setting::LinkLevelWidth, Setting::LastTimeWidth};

std::u16string GeometryText(const QMainWindow& window) {
  const QString text = QString::fromLatin1(window.saveGeometry().toBase64());
  return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                        static_cast<size_t>(text.size()));
}

// Writes values through one key, opened (and created) only for the first
// value that must be written.
class LayoutWriter {
 public:
  // Writes `value` when it is not what the window showed at the start nor
  // what the store holds, and then records it as stored.
  template <typename T, typename Write>
  void Update(const T& value, const T& shown, T& stored, Write write) {
    if (value == shown || value == stored) {
      return;
    }
    if (key_.IsOpen() || key_.OpenForWrite(RegRoot::CurrentUser, kSettingsKeyPath)) {
      if (write(key_)) {
        stored = value;
      }
    }
  }

 private:
  RegKey key_;
};

}  // namespace

WindowLayout::WindowLayout(QMainWindow& window, CommandBands& bands, QHeaderView& columns)
    : window_(window), bands_(bands), columns_(columns) {}

void WindowLayout::Restore() {
  RegKey key;
  key.OpenForRead(RegRoot::CurrentUser, kSettingsKeyPath);
  stored_.Bands = ReadBandValues(key);
  bands_.Apply(stored_.Bands);
  for (int column = 0; column < kColumnCount; ++column) {
    stored_.Columns[column] = ReadDwordSetting(key, kColumnSettings[column]);
    columns_.resizeSection(column,
                           static_cast<int>(std::min(stored_.Columns[column], kMaxColumnWidth)));
  }
  window_.resize(kDefaultSize);
  char16_t geometry[kGeometryCapacity] = {};
  if (key.ReadString(kGeometryValue, geometry, sizeof geometry) != nullptr) {
    stored_.Geometry = geometry;
    const QString text = QString::fromUtf16(stored_.Geometry.data(),
                                            static_cast<qsizetype>(stored_.Geometry.size()));
    window_.restoreGeometry(QByteArray::fromBase64(text.toLatin1()));
  }
  key.Close();
  shown_ = Current();
}

void WindowLayout::WindowShown() {
  if (geometryShown_) {
    return;
  }
  geometryShown_ = true;
  // The platform places the window only once the show is under way.
  QTimer::singleShot(0, &window_, [this] { shown_.Geometry = GeometryText(window_); });
}

void WindowLayout::Save() {
  const Values now = Current();
  // The band row is laid out only once the window is shown; what it showed
  // then is what the user started from.
  const BandValues& shownBands = bands_.RestoredValues();
  LayoutWriter writer;
  const auto dword = [&writer](Setting setting, uint32_t value, uint32_t shown, uint32_t& stored) {
    writer.Update(value, shown, stored,
                  [&](RegKey& key) { return WriteDwordSetting(key, setting, value); });
  };
  dword(Setting::CommandBandMenuWidth, now.Bands.MenuWidth, shownBands.MenuWidth,
        stored_.Bands.MenuWidth);
  dword(Setting::CommandBandMenuStyle, now.Bands.MenuStyle, shownBands.MenuStyle,
        stored_.Bands.MenuStyle);
  dword(Setting::CommandBandToolWidth, now.Bands.ToolWidth, shownBands.ToolWidth,
        stored_.Bands.ToolWidth);
  dword(Setting::CommandBandToolStyle, now.Bands.ToolStyle, shownBands.ToolStyle,
        stored_.Bands.ToolStyle);
  dword(Setting::CommandBandToolMaximized, now.Bands.ToolMaximized != 0 ? 1u : 0u,
        shownBands.ToolMaximized != 0 ? 1u : 0u, stored_.Bands.ToolMaximized);
  for (int column = 0; column < kColumnCount; ++column) {
    dword(kColumnSettings[column], now.Columns[column], shown_.Columns[column],
          stored_.Columns[column]);
  }
  writer.Update(now.Geometry, shown_.Geometry, stored_.Geometry, [&](RegKey& key) {
    return key.WriteValue(kGeometryValue, kRegSz, now.Geometry.c_str(),
                          static_cast<uint32_t>((now.Geometry.size() + 1) * sizeof(char16_t)));
  });
}

WindowLayout::Values WindowLayout::Current() const {
  Values values;
  values.Bands = bands_.Values();
  for (int column = 0; column < kColumnCount; ++column) {
    values.Columns[column] = static_cast<uint32_t>(columns_.sectionSize(column));
  }
  values.Geometry = GeometryText(window_);
  return values;
}

}  // namespace kivo
