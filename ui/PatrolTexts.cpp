#include "ui/PatrolTexts.h"

#include "ui/GuiMessages.h"

namespace kivo {
namespace {

QString FromWide(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QString PatrolStateText(PatrolState state) {
  switch (state) {
    case PatrolState::Downloading:
      return QStringLiteral("ﾀﾞｳﾝﾛｰﾄﾞ中...");
    case PatrolState::Analysing:
      return QStringLiteral("解析中...");
    case PatrolState::Rewriting:
      return QStringLiteral("書換中...");
  }
  return QString();
}

QString ByteCountText(const std::optional<ByteCount>& count) {
  if (!count) {
    return QString();
  }
  QString text = QString::number(count->Received);
  if (count->Total) {
    text += QLatin1Char('/') + QString::number(*count->Total);
  }
  return text;
}

QString PatrolErrorText(const PatrolError& error) {
  const QString folder = FromWide(error.Folder);
  switch (error.Kind) {
    case PatrolErrorKind::NoHttpSession:
      return QStringLiteral("Internet open error.");
    case PatrolErrorKind::OutOfSpace:
      return QStringLiteral(
                 "ﾃﾞｨｽｸの空きが足りないため、ﾌｫﾙﾀﾞ %1 にﾌｧｲﾙを保存できません。"
                 "巡回を中止しました。")
          .arg(folder);
    case PatrolErrorKind::UnusableFolder:
      return QStringLiteral("ﾌｫﾙﾀﾞ %1 にﾌｧｲﾙを保存できません(%2)。")
          .arg(folder, SystemErrorText(error.SystemError));
  }
  return QString();
}

}  // namespace kivo
