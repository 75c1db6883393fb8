#include "patrol/PatrolJournal.h"

#include <string>
#include <utility>
#include <vector>

#include "patrol/CheckRecords.h"
#include "patrol/PageDigests.h"
#include "platform/ContentDigest.h"

namespace kivo {

PatrolJournal::PatrolJournal(PatrolTrigger trigger, ChangeTest test)
    : history_(HistoryAccess::Write, PatrolHistory::DefaultPath(), NowMs()),
      earlier_(&history_.Queries(), test),
      test_(test) {
  history_.BeginPatrol(NowMs(), trigger);
}

platform::HttpValidators PatrolJournal::ValidatorsFor(const FetchKey& key, const PatrolList& list) {
  if (key.Kind == FetchKind::Image) {
    return earlier_.ForImage(key.Url);
  }
  if (key.Entry == nullptr || list.IsTemporary(key.Entry)) {
    return {};
  }
  return earlier_.ForEntry(*key.Entry);
}

bool PatrolJournal::SameContent(const UrlEntry& entry, DownloadBody& body,
                                const platform::CodePage& codePage, HistoryCheck& check) {
  const PageDigests digests = DigestPage(body, codePage);
  check.BodyDigest = digests.Body;
  check.TextDigest = digests.Text;
  const HistoryCheck* copy = earlier_.CopyAt(entry.LocalFile.View());
  if (copy == nullptr || !kivo::SameContent(test_, digests, *copy)) {
    return false;
  }
  check.Outcome = CheckOutcome::SameContent;
  return true;
}

std::optional<bool> PatrolJournal::StoreEarlierImage(std::u16string_view url,
                                                     const WideString& folder,
                                                     PatrolStorage& storage, HistoryCheck& check,
                                                     WideString& localPath) {
  const HistoryCheck* copy = earlier_.ImageCopy(url);
  if (copy == nullptr || platform::ContentDigest::OfFile(copy->StoredPath) != copy->BodyDigest) {
    earlier_.DropImage(url);
    return std::nullopt;
  }
  check.FollowsPath = copy->StoredPath;
  check.BodyDigest = copy->BodyDigest;
  // A 304 need not repeat the validators, Last-Modified least of all; what
  // it leaves out still holds, so the next patrol can ask conditionally too.
  if (check.ETag.empty()) {
    check.ETag = copy->ETag;
  }
  if (!check.LastModified) {
    check.LastModified = copy->LastModified;
  }
  if (!storage.StoreAgain(copy->StoredPath, copy->StoredSize.value_or(0), folder, url, localPath)) {
    NoteStoreFailed(check);
    return false;
  }
  NoteStoredCopy(check, localPath.View());
  return true;
}

void PatrolJournal::Record(const HistoryCheck& check) {
  history_.Record(check);
  if (check.Kind == CheckedKind::EntryPage) {
    history_.Commit();
  }
}

void PatrolJournal::Finish(PatrolView& view, PatrolReport& report) {
  history_.FinishPatrol(NowMs());
  for (HistoryMessage& message : history_.TakeMessages()) {
    view.ShowError(PatrolError{PatrolErrorKind::History, std::move(message.Path), 0,
                               message.Problem, std::move(message.Detail)});
  }
  report.Counts = history_.Counts();
  report.Test = test_;
}

}  // namespace kivo
