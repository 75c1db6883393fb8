#pragma once

#include <optional>
#include <string_view>

#include "patrol/DownloadBody.h"
#include "patrol/EarlierCopies.h"
#include "patrol/FetchAhead.h"
#include "patrol/PatrolHistory.h"
#include "patrol/PatrolList.h"
#include "patrol/PatrolStorage.h"
#include "patrol/PatrolView.h"
#include "patrol/PatrolWorker.h"
#include "platform/CodePage.h"
#include "support/WideString.h"
#include "urllist/Settings.h"

namespace kivo {

// One patrol's use of the history: the validators its requests carry, the
// content test of its user entries, the earlier images it stores again after
// a 304, and the record of every URL it asks for. It opens the history for
// writing and begins the patrol when it is made; a history that cannot be
// used leaves the patrol as it would be without one, and says so once.
class PatrolJournal {
 public:
  // Opens the history in the program folder and begins a patrol started by
  // `trigger`, whose change test is `test`. The caller holds the instance lock.
  PatrolJournal(PatrolTrigger trigger, ChangeTest test);
  PatrolJournal(const PatrolJournal&) = delete;
  PatrolJournal& operator=(const PatrolJournal&) = delete;

  // Returns the validators of the request `key`: a user entry's page and an
  // image are asked conditionally; frames and linked pages (temporary
  // entries of `list`) are asked as they are, since their stored copies have
  // been rewritten and cannot stand in for a download.
  platform::HttpValidators ValidatorsFor(const FetchKey& key, const PatrolList& list);

  // Returns true when the page `body` brought for the user entry `entry` is
  // the same content as the entry's current copy under the change test, and
  // then marks `check` so. The digests are noted in `check` either way.
  bool SameContent(const UrlEntry& entry, DownloadBody& body, const platform::CodePage& codePage,
                   HistoryCheck& check);

  // Stores the earlier copy of the image at url again in folder, after the
  // server said it is current. Nothing when that copy cannot stand in for a
  // download (it is gone, or its bytes are not the ones recorded; its
  // validators are then forgotten); otherwise whether it was stored.
  std::optional<bool> StoreEarlierImage(std::u16string_view url, const WideString& folder,
                                        PatrolStorage& storage, HistoryCheck& check,
                                        WideString& localPath);

  // Records `check`; a user entry's check is committed at once, so that
  // readers see it during the patrol.
  void Record(const HistoryCheck& check);

  // Records the end of the patrol, shows what went wrong with the history
  // on `view`, and tells `report` how the user entries came out and by which
  // change test.
  void Finish(PatrolView& view, PatrolReport& report);

 private:
  PatrolHistory history_;
  EarlierCopies earlier_;
  const ChangeTest test_;
};

}  // namespace kivo
