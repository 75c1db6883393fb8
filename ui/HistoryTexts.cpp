#include "ui/HistoryTexts.h"

#include <QDateTime>
#include <QLocale>

namespace kivo {
namespace {

QString FailureText(const HistoryCheck& check) {
  switch (check.Failure) {
    case CheckFailure::Setup:
      return QStringLiteral("準備ｴﾗｰ");
    case CheckFailure::Connect:
      return QStringLiteral("接続ｴﾗｰ");
    case CheckFailure::ConnectTimeout:
      return QStringLiteral("接続ﾀｲﾑｱｳﾄ");
    case CheckFailure::ReceiveTimeout:
      return QStringLiteral("受信ﾀｲﾑｱｳﾄ");
    case CheckFailure::Transport:
      return QStringLiteral("転送ｴﾗｰ");
    case CheckFailure::Redirect:
      return QStringLiteral("ﾘﾀﾞｲﾚｸﾄｴﾗｰ");
    case CheckFailure::TooSlow:
      return QStringLiteral("低速");
    case CheckFailure::Abandoned:
      return QStringLiteral("中止");
    case CheckFailure::TooLarge:
      return QStringLiteral("ｻｲｽﾞ超過");
    case CheckFailure::OutOfSpace:
      return QStringLiteral("ﾃﾞｨｽｸ不足");
    case CheckFailure::HttpStatus:
      return QStringLiteral("HTTP %1").arg(check.HttpStatus);
    case CheckFailure::StoreFailed:
      return QStringLiteral("保存ｴﾗｰ");
    default:
      return QStringLiteral("ｴﾗｰ");
  }
}

}  // namespace

QString CheckTimeText(int64_t milliseconds) {
  return QDateTime::fromMSecsSinceEpoch(milliseconds, Qt::LocalTime)
      .toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

QString LineTimeText(const CopyLine& line) {
  return line.BeforeHistory ? QStringLiteral("----/--/-- --:--:--")
                            : CheckTimeText(line.Check.CheckedAt);
}

QString OutcomeText(const CopyLine& line) {
  if (line.BeforeHistory) {
    return QStringLiteral("更新 (履歴より前)");
  }
  switch (line.Check.Outcome) {
    case CheckOutcome::Stored:
      return QStringLiteral("更新");
    case CheckOutcome::UnchangedLastModified:
      return QStringLiteral("変化なし (Last-Modified)");
    case CheckOutcome::NotModified:
      return QStringLiteral("変化なし (304)");
    case CheckOutcome::SameContent:
      return QStringLiteral("変化なし (同じ内容)");
    case CheckOutcome::Failed:
      break;
  }
  return QStringLiteral("失敗 (%1)").arg(FailureText(line.Check));
}

QString SizeText(const CopyLine& line) {
  if (line.CopyNumber == 0 || !line.Check.StoredSize) {
    return QString();
  }
  return QLocale(QLocale::Japanese, QLocale::Japan)
      .toString(static_cast<qulonglong>(*line.Check.StoredSize));
}

QString NoCopyText(const CopyLine& line) {
  if (line.Check.Outcome == CheckOutcome::Failed) {
    return QStringLiteral("この巡回ではﾍﾟｰｼﾞを取得できませんでした (%1)。")
        .arg(FailureText(line.Check));
  }
  return QStringLiteral("この巡回ではﾍﾟｰｼﾞは変わっていませんでした。");
}

QString CopyReadText(CopyRead read, const QString& path) {
  switch (read) {
    case CopyRead::Missing:
      return QStringLiteral("ｺﾋﾟｰがありません: %1").arg(path);
    case CopyRead::NotText:
      return QStringLiteral("ﾍﾟｰｼﾞではないので比べられません: %1").arg(path);
    case CopyRead::TooLarge:
      return QStringLiteral("大きすぎるので比べません: %1").arg(path);
    default:
      return QStringLiteral("ｺﾋﾟｰを読めません: %1").arg(path);
  }
}

QString DiffStatusText(TextDiffStatus status) {
  switch (status) {
    case TextDiffStatus::Identical:
      return QStringLiteral("前のｺﾋﾟｰと文章は同じです。");
    case TextDiffStatus::TooDifferent:
      return QStringLiteral("違いが大きすぎるので表示できません。");
    case TextDiffStatus::LinesOnly:
      return QStringLiteral("一部の行は語の違いを示していません。");
    default:
      return QString();
  }
}

}  // namespace kivo
