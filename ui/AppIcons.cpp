#include "ui/AppIcons.h"

namespace kivo {

QIcon ProgramIcon() {
  return QIcon(QStringLiteral(":/icons/kivo.svg"));
}

QIcon PatrolIcon() {
  return QIcon(QStringLiteral(":/icons/patrol.svg"));
}

QIcon StateIcon(int32_t status) {
  switch (status) {
    case 1:
      return QIcon(QStringLiteral(":/icons/state-fetched.svg"));
    case 2:
      return QIcon(QStringLiteral(":/icons/state-viewed.svg"));
    default:
      return QIcon(QStringLiteral(":/icons/state-never.svg"));
  }
}

}  // namespace kivo
