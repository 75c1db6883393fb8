#pragma once

#include <cstdint>
#include <string>
#include <thread>

#include "patrol/PatrolLimits.h"
#include "patrol/PatrolList.h"
#include "patrol/PatrolView.h"

namespace kivo {

// What a patrol tells its starter besides its result.
struct PatrolReport {
  // True when a cancel stopped work: it left an entry, an image or a queued
  // frame or link unfetched, or gave a download up. A cancel during the last
  // download, which then finished, or during the rewrite pass stopped nothing.
  bool StoppedByCancel = false;
};

// What the patrol worker is started with: where it reports, the entries it
// patrols, optionally other bounds than the program's own, and optionally
// where it reports how it ended. All of them outlive the worker.
struct PatrolParams {
  PatrolView* View = nullptr;
  PatrolList* List = nullptr;
  const PatrolLimits* Limits = nullptr;  // null: the defaults of PatrolLimits
  PatrolReport* Report = nullptr;        // when set, filled in before Finished
};

// The results of RunPatrol.
inline constexpr int32_t kPatrolDone = 0;        // completed or cancelled
inline constexpr int32_t kPatrolNoSession = -1;  // "Internet open error."
inline constexpr int32_t kPatrolOutOfSpace = 1;  // stopped because a disk is (nearly) full

// The name of the temporary download file in the program folder. It is per
// user (the program folder is), never in a shared directory.
inline constexpr std::u16string_view kTemporaryFileName = u"Kivo0000.tmp";

// Returns the full path of the temporary download file.
std::u16string TemporaryFilePath();

// Runs one whole patrol over params.List, reporting through params.View:
// returns kPatrolDone after a completed or cancelled patrol, kPatrolNoSession
// when no HTTP session could be opened, and kPatrolOutOfSpace when a store
// failed for lack of space, which ends the patrol the way Cancel does. Before
// it fetches anything it removes the stale temporary files of killed runs
// from the folders it writes to. In every case the last call on the view is
// Finished, and the list again holds exactly the entries it was given.
int32_t RunPatrol(const PatrolParams& params);

// A patrol on a thread of its own, as the progress dialog runs it: Start sets
// PatrolRunning to kPatrolGoing and starts the worker; Join waits for its result.
// Destruction joins a worker that is still running.
class PatrolThread {
 public:
  PatrolThread() = default;
  PatrolThread(const PatrolThread&) = delete;
  PatrolThread& operator=(const PatrolThread&) = delete;
  ~PatrolThread();

  // Starts the worker; false when one is already running on this object.
  bool Start(const PatrolParams& params);
  // Waits for the worker and returns its result (0 when none was started).
  int32_t Join();

 private:
  std::thread thread_;
  int32_t result_ = 0;
};

}  // namespace kivo
