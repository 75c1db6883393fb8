#include "patrol/FetchVerdict.h"

namespace kivo {
namespace {

bool TransientStatus(int32_t status) {
  return status == 408 || status == 429 || (status >= 500 && status <= 599);
}

bool TransientError(platform::HttpError error) {
  switch (error) {
    case platform::HttpError::Connect:
    case platform::HttpError::ConnectTimeout:
    case platform::HttpError::ReceiveTimeout:
    case platform::HttpError::Transport:
    case platform::HttpError::TooSlow:
      return true;
    default:
      return false;
  }
}

}  // namespace

FetchVerdict JudgeFetch(const FetchFacts& facts) {
  if (facts.Body == BodyOutcome::Dropped) {
    return FetchVerdict::AskAgain;
  }
  const bool transient = TransientError(facts.Error) ||
                         (facts.Body == BodyOutcome::Refused && TransientStatus(facts.Status));
  return transient && (facts.FetchedAhead || facts.Concurrent) ? FetchVerdict::AskAgain
                                                               : FetchVerdict::Final;
}

}  // namespace kivo
