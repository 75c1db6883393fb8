#include "dialup/DialState.h"

namespace kivo {

QString DialStatusText(DialState state) {
  switch (state) {
    case DialState::OpenPort:
      return QStringLiteral(u"ﾎﾟｰﾄを開きます.");
    case DialState::PortOpened:
      return QStringLiteral(u"ﾎﾟｰﾄを開きました.");
    case DialState::ConnectDevice:
      return QStringLiteral(u"ﾃﾞﾊﾞｲｽに接続します.");
    case DialState::DeviceConnected:
      return QStringLiteral(u"ﾃﾞﾊﾞｲｽに接続しました.");
    case DialState::Authenticate:
      return QStringLiteral(u"認証します.");
    case DialState::Authenticated:
      return QStringLiteral(u"認証が完了しました.");
    case DialState::Connected:
      return QStringLiteral(u"接続しました.");
    case DialState::Disconnected:
      return QStringLiteral(u"切断しました.");
  }
  return {};
}

}  // namespace kivo
