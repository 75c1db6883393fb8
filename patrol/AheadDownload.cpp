#include "patrol/AheadDownload.h"

#include "platform/Utf8.h"

namespace kivo {

bool AheadDownload::ArrivedWhole() const {
  return Transfer != nullptr && Transfer->CompletedWhole() &&
         Body->Outcome() == BodyOutcome::Accepted;
}

std::u16string AheadDownload::RedirectedUrl() const {
  return Transfer != nullptr && Transfer->RedirectCount() > 0
             ? platform::Utf16FromUtf8(Transfer->FinalUrl())
             : std::u16string();
}

FetchFacts AheadDownload::Facts() const {
  if (Transfer == nullptr) {
    return FetchFacts{FetchedAhead, false, platform::HttpError::None, 0, Body->Outcome()};
  }
  return FetchFacts{FetchedAhead, Transfer->Concurrent(), Transfer->Error(), Transfer->Status(),
                    Body->Outcome()};
}

void AheadDownload::ShowProgress(FetchProgress* progress, bool final) {
  const DownloadBody& body = *Body;
  if (progress == nullptr || !body.HeadAccepted()) {
    return;
  }
  const uint64_t total = body.Total().value_or(0);
  if (!HeadShown) {
    HeadShown = true;
    // The head's count names any announced length, 0 included; the later
    // counts of a body announced as empty name none, as nothing can be a
    // percentage of it.
    progress->SetBytes(ByteCount{0, body.Total()});
  }
  const auto show = [&](uint64_t received) {
    if (total != 0) {
      progress->SetPercent(ProgressPercent(received, total));
      progress->SetBytes(ByteCount{received, total});
    } else {
      progress->SetBytes(ByteCount{received, std::nullopt});
    }
  };
  while (Shown + kProgressStep <= body.Size()) {
    Shown += kProgressStep;
    show(Shown);
  }
  if (final && Shown < body.Size()) {
    Shown = body.Size();
    show(Shown);
  }
}

void AheadDownload::Describe(bool whole, FetchReport& report) const {
  const DownloadBody& body = *Body;
  const platform::HttpTransfer* transfer = Transfer.get();
  report.Failure = body.Failure();
  report.Requested = transfer != nullptr;
  report.Error = transfer != nullptr ? transfer->Error() : platform::HttpError::None;
  report.Facts = body.Facts();
  report.BytesReceived = body.Size();
  if (whole) {
    report.Answer = FetchAnswer::Body;
  } else if (body.Outcome() == BodyOutcome::Unchanged) {
    report.Answer = FetchAnswer::Unchanged;
  } else if (body.Outcome() == BodyOutcome::NotModified && transfer->CompletedWhole()) {
    report.Answer = FetchAnswer::NotModified;
  }
}

}  // namespace kivo
