#include "patrol/CheckRecords.h"

#include <chrono>

#include "platform/HostFile.h"

namespace kivo {
namespace {

CheckFailure FailureOfError(platform::HttpError error) {
  switch (error) {
    case platform::HttpError::None:
      return CheckFailure::None;
    case platform::HttpError::Setup:
      return CheckFailure::Setup;
    case platform::HttpError::Connect:
      return CheckFailure::Connect;
    case platform::HttpError::ConnectTimeout:
      return CheckFailure::ConnectTimeout;
    case platform::HttpError::ReceiveTimeout:
      return CheckFailure::ReceiveTimeout;
    case platform::HttpError::Transport:
      return CheckFailure::Transport;
    case platform::HttpError::Redirect:
      return CheckFailure::Redirect;
    case platform::HttpError::TooSlow:
      return CheckFailure::TooSlow;
    case platform::HttpError::Abandoned:
      return CheckFailure::Abandoned;
    case platform::HttpError::HeadTooLarge:
      return CheckFailure::Other;
  }
  return CheckFailure::Other;
}

CheckOutcome OutcomeOf(FetchAnswer answer) {
  switch (answer) {
    case FetchAnswer::Body:
      return CheckOutcome::Stored;
    case FetchAnswer::Unchanged:
      return CheckOutcome::UnchangedLastModified;
    case FetchAnswer::NotModified:
      return CheckOutcome::NotModified;
    case FetchAnswer::Failed:
      return CheckOutcome::Failed;
  }
  return CheckOutcome::Failed;
}

}  // namespace

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

CheckFailure FailureOf(const FetchReport& report) {
  if (!report.Requested) {
    return CheckFailure::Setup;  // a URL that cannot be sent safely was never asked for
  }
  if (report.Failure == FetchFailure::TooLarge) {
    return CheckFailure::TooLarge;
  }
  if (report.Failure == FetchFailure::OutOfSpace) {
    return CheckFailure::OutOfSpace;
  }
  if (report.Error != platform::HttpError::None) {
    return FailureOfError(report.Error);
  }
  // The transfer went well, so the status refused the page, or its body
  // could not be kept.
  return report.Facts.Status != 200 ? CheckFailure::HttpStatus : CheckFailure::StoreFailed;
}

HistoryCheck CheckOfFetch(std::u16string_view url, CheckedKind kind, const FetchOutcome& fetched,
                          std::u16string_view follows) {
  const FetchReport& report = fetched.Report;
  HistoryCheck check;
  check.CheckedAt = NowMs();
  check.Url = std::u16string(url);
  check.Kind = kind;
  check.FollowsPath = std::u16string(follows);
  check.Outcome = OutcomeOf(report.Answer);
  if (check.Outcome == CheckOutcome::Failed) {
    check.Failure = FailureOf(report);
  }
  check.HttpStatus = report.Facts.Status;
  check.LastModified = report.Facts.LastModified;
  check.ETag = report.Facts.ETag;
  check.BytesReceived = report.BytesReceived;
  if (fetched.Body != nullptr) {
    check.BodyDigest = fetched.Body->Digest();
  }
  return check;
}

void NoteStoredCopy(HistoryCheck& check, std::u16string_view path) {
  check.StoredPath = std::u16string(path);
  if (const std::optional<platform::FileStamp> stamp = platform::StampOf(path)) {
    check.StoredSize = stamp->Size;
    check.StoredModified = stamp->ModifiedNs;
  }
}

void NoteStoreFailed(HistoryCheck& check) {
  check.Outcome = CheckOutcome::Failed;
  check.Failure = CheckFailure::StoreFailed;
  check.StoredPath.clear();
}

}  // namespace kivo
