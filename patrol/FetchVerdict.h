#pragma once

#include <cstdint>

#include "patrol/DownloadBody.h"
#include "platform/HttpError.h"

namespace kivo {

// Whether the answer that a download brought is the one the patrol takes.
enum class FetchVerdict {
  Final,     // it counts, whatever it is
  AskAgain,  // it is thrown away, and the URL is asked again with nothing beside it
};

// What is known of a download once it has ended.
struct FetchFacts {
  bool FetchedAhead = false;  // it was started before its turn
  bool Concurrent = false;    // another request to its host was in flight beside it
  platform::HttpError Error = platform::HttpError::None;
  int32_t Status = 0;  // of the last response whose head arrived, or 0
  BodyOutcome Body = BodyOutcome::Pending;
};

// Decides whether a download's answer counts as the one that a patrol with one connection
// would have had. A body dropped for lack of room is asked for again. So is a failure that
// the server's load may have caused (a 408, 429 or 5xx status; a refused, failed, timed-out,
// too slow connection) when the download was fetched ahead or ran beside
// another request to its host: one connection would have asked later, and alone. Everything
// else is final, a 404 or a stored page alike: asking again would give the same answer.
FetchVerdict JudgeFetch(const FetchFacts& facts);

}  // namespace kivo
