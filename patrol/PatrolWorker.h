#pragma once

#include <cstdint>
#include <vector>

#include "patrol/HistoryRecords.h"
#include "patrol/PatrolLimits.h"
#include "patrol/PatrolList.h"
#include "patrol/PatrolView.h"
#include "urllist/Settings.h"

namespace kivo {

// What a patrol tells its starter besides its result.
struct PatrolReport {
  // True when a cancel stopped work: it left an entry, an image or a queued
  // frame or link unfetched, or gave a download up. A cancel during the last
  // download, which then finished, or during the rewrite pass stopped nothing.
  bool StoppedByCancel = false;
  // How the user entries came out, counted also when no history could be
  // written, and the change test that decided "same content".
  PatrolCounts Counts;
  ChangeTest Test = ChangeTest::SameText;
  // The user entries the patrol updated, in the order it updated them.
  std::vector<const UrlEntry*> UpdatedEntries;
};

// What the patrol worker is started with: where it reports, the entries it
// patrols, optionally other bounds than the program's own, optionally where
// it reports how it ended, and how it was started, for the history. All of
// them outlive the worker.
struct PatrolParams {
  PatrolView* View = nullptr;
  PatrolList* List = nullptr;
  const PatrolLimits* Limits = nullptr;  // null: the defaults of PatrolLimits
  PatrolReport* Report = nullptr;        // when set, filled in before Finished
  PatrolTrigger Trigger = PatrolTrigger::Gui;
};

// The results of RunPatrol.
inline constexpr int32_t kPatrolDone = 0;        // completed or cancelled
inline constexpr int32_t kPatrolNoSession = -1;  // no HTTP session could be opened
inline constexpr int32_t kPatrolOutOfSpace = 1;  // stopped because a disk is (nearly) full

// Runs one whole patrol over params.List, reporting through params.View:
// returns kPatrolDone after a completed or cancelled patrol, kPatrolNoSession
// when no HTTP session could be opened, and kPatrolOutOfSpace when a store
// failed for lack of space, which ends the patrol the way Cancel does. Before
// it fetches anything it removes the stale temporary files of killed runs
// from the folders it writes to, and the numbered download files from the
// program folder, and it records the patrol in the history: its starter must
// hold the instance lock. A history that cannot be used costs only its
// message. In every case the last call on the view is Finished, and the list
// again holds exactly the entries it was given.
int32_t RunPatrol(const PatrolParams& params);

}  // namespace kivo
