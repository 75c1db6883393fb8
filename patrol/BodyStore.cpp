#include "patrol/BodyStore.h"

#include <algorithm>
#include <utility>

#include "patrol/DownloadBody.h"
#include "platform/DownloadTemporaries.h"

namespace kivo {

BodyStore::BodyStore(std::u16string programFolder, const FetchLimits& limits)
    : programFolder_(std::move(programFolder)), limits_(limits) {}

int32_t BodyStore::TakeNumber() {
  int32_t number = 0;
  while (numbers_.contains(number)) {
    ++number;
  }
  numbers_.insert(number);
  return number;
}

std::u16string BodyStore::TemporaryPath(int32_t number) const {
  return programFolder_ + platform::DownloadTemporaryName(number);
}

void BodyStore::Unregister(DownloadBody* body) {
  std::erase(bodies_, body);
}

bool BodyStore::DropNewestSpilled() {
  // The newest are needed last.
  const auto spilled = std::find_if(bodies_.rbegin(), bodies_.rend(), [](const DownloadBody* body) {
    return body->Role() == BodyRole::Ahead && body->InFile();
  });
  if (spilled == bodies_.rend()) {
    return false;
  }
  (*spilled)->Drop();
  return true;
}

}  // namespace kivo
