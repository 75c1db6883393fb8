#include "ui/StartOptions.h"

#include "notify/NoticeWaiter.h"

namespace kivo {

StartOptions ParseStartOptions(const QStringList& arguments) {
  // The options are looked for in the command line as one text, the way the
  // arguments were typed, so an option may also follow another without a
  // space.
  const QString line = arguments.join(QLatin1Char(' '));
  StartOptions options;
  for (qsizetype at = line.indexOf(QLatin1Char('/')); at >= 0 && at + 1 < line.size();
       at = line.indexOf(QLatin1Char('/'), at + 1)) {
    const QChar option = line[at + 1].toUpper();
    if (option == QLatin1Char('P')) {
      options.PatrolAtStart = true;
    } else if (option == QLatin1Char('Q')) {
      options.QuitAfterPatrol = true;
    }
  }
  for (const QString& argument : arguments) {
    if (std::optional<QString> url = HistoryUrlFromOption(argument)) {
      options.HistoryUrl = std::move(url);
    }
  }
  return options;
}

}  // namespace kivo
