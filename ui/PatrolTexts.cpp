#include "ui/PatrolTexts.h"

#include "ui/GuiMessages.h"

namespace kivo {
namespace {

QString FromWide(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// What went wrong with the history; the patrol itself went on without it.
QString HistoryText(const PatrolError& error) {
  const QString path = FromWide(error.Folder);
  const QString notRecorded = QStringLiteral("今回の巡回は記録されません。");
  switch (error.History) {
    case HistoryProblem::MovedAside:
      return QStringLiteral("巡回履歴が壊れていたため、%1 として残し、新しく作り直しました。")
          .arg(path);
    case HistoryProblem::Damaged:
      return QStringLiteral("巡回履歴 %1 が壊れています。").arg(path) + notRecorded;
    case HistoryProblem::NewerSchema:
      return QStringLiteral("巡回履歴 %1 は新しい版のKivoで作られています。").arg(path) +
             notRecorded;
    case HistoryProblem::Full:
      return QStringLiteral("ﾃﾞｨｽｸの空きが足りないため、巡回履歴 %1 に書き込めません。").arg(path) +
             notRecorded;
    case HistoryProblem::Locked:
      return QStringLiteral("巡回履歴 %1 を他のﾌﾟﾛｸﾞﾗﾑが使用しています。").arg(path) + notRecorded;
    default:
      // SQLite's own detail is English, and the interface is Japanese; the
      // path tells the user where to look.
      return QStringLiteral("巡回履歴 %1 を使用できません。").arg(path) + notRecorded;
  }
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
    case PatrolErrorKind::History:
      return HistoryText(error);
  }
  return QString();
}

}  // namespace kivo
