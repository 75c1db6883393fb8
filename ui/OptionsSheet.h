#pragma once

#include <QStringList>

class QWidget;

namespace kivo {

// Shows the modal sheet "ｵﾌﾟｼｮﾝ" over `parent`. `dialupEntries` are the
// dial-up entries the connection page offers, in the service's order (names
// beginning with "`" are left out by the page). OK stores the values of every
// page that was opened in the settings store; Cancel stores nothing.
void ShowOptionsSheet(QWidget* parent, const QStringList& dialupEntries);

}  // namespace kivo
