#include "dialup/EntryListing.h"

namespace kivo {

std::shared_ptr<EntryListing> EntryListing::Known(const QStringList& entries) {
  auto listing = std::make_shared<EntryListing>();
  listing->Finish(entries);
  return listing;
}

void EntryListing::Finish(const QStringList& entries) {
  if (finished_) {
    return;
  }
  entries_ = entries;
  finished_ = true;
  emit Finished();
}

}  // namespace kivo
