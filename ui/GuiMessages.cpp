#include "ui/GuiMessages.h"

#include <cerrno>
#include <cstdio>

namespace kivo {

namespace {

QString FromWide(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void PrintMessage(const QString& text) {
  std::fprintf(stderr, "kivo: %s\n", text.toUtf8().constData());
}

QString SystemErrorText(int error) {
  switch (error) {
    case EACCES:
    case EPERM:
      return QStringLiteral("ｱｸｾｽが許可されていません");
    case EROFS:
      return QStringLiteral("読み取り専用です");
    case ENOSPC:
      return QStringLiteral("ﾃﾞｨｽｸに空きがありません");
    case EDQUOT:
      return QStringLiteral("ﾃﾞｨｽｸの使用量が上限に達しています");
    case EEXIST:
      return QStringLiteral("同じ名前のﾌｧｲﾙがあります");
    case ENOENT:
      return QStringLiteral("見つかりません");
    case ENOTDIR:
      return QStringLiteral("途中にﾌｫﾙﾀﾞでないものがあります");
    case EISDIR:
      return QStringLiteral("ﾌｫﾙﾀﾞです");
    case ELOOP:
      return QStringLiteral("ｼﾝﾎﾞﾘｯｸﾘﾝｸです");
    case ENAMETOOLONG:
      return QStringLiteral("名前が長すぎます");
    case EIO:
      return QStringLiteral("入出力ｴﾗｰです");
    case EINVAL:
      return QStringLiteral("名前として使えません");
    default:
      return QStringLiteral("ｴﾗｰ番号 %1").arg(error);
  }
}

QString LockRefusalText(const platform::LockAttempt& attempt, std::u16string_view folder) {
  switch (attempt.Failure) {
    case platform::LockFailure::FolderUnusable:
      return QStringLiteral("ﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ %1 を作成できないため、Kivo を起動できません (%2)。")
          .arg(FromUtf8(attempt.Path), SystemErrorText(attempt.Error));
    case platform::LockFailure::LockFileUnusable:
      return QStringLiteral("ﾛｯｸﾌｧｲﾙ %1 を使用できないため、Kivo を起動できません (%2)。")
          .arg(FromUtf8(attempt.Path), SystemErrorText(attempt.Error));
    default:
      break;
  }
  switch (attempt.Holder) {
    case platform::LockHolder::Kivo:
      return QStringLiteral(
                 "別の Kivo がﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ %1 を使用中ですが、そのｳｨﾝﾄﾞｳを前面に出せません。")
          .arg(FromWide(folder));
    case platform::LockHolder::KivoCli:
      return QStringLiteral("kivo-cli がﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ %1 を使用中のため、Kivo を起動できません。")
          .arg(FromWide(folder));
    default:
      return QStringLiteral(
                 "別の Kivo か kivo-cli がﾌﾟﾛｸﾞﾗﾑﾌｫﾙﾀﾞ %1 を使用中のため、Kivo を起動できません。")
          .arg(FromWide(folder));
  }
}

QString ListDamagedText(std::u16string_view path, int32_t read, std::u16string_view backup) {
  return QStringLiteral(
             "%1 は途中までしか読めませんでした (%2 件)。読めなかったﾌｧｲﾙは、一覧を保存するときに "
             "%3 として残します。")
      .arg(FromWide(path))
      .arg(read)
      .arg(FromWide(backup));
}

QString ListNotSavedText(std::u16string_view path) {
  return QStringLiteral("%1 を保存できませんでした。ﾃﾞｨｽｸ上のﾌｧｲﾙは元のままです。")
      .arg(FromWide(path));
}

QString SettingsNotSavedText(std::u16string_view path) {
  return QStringLiteral("%1 に設定を保存できませんでした。").arg(FromWide(path));
}

QString NoOpenerText() {
  return QStringLiteral("ﾍﾟｰｼﾞを表示するﾌﾟﾛｸﾞﾗﾑがありません。xdg-utils をｲﾝｽﾄｰﾙしてください。");
}

QString NoListenText() {
  return QStringLiteral("後から起動したときにこのｳｨﾝﾄﾞｳを前面に出すための準備ができませんでした。");
}

}  // namespace kivo
