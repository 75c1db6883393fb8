#include "urllist/UrlEntry.h"

#include "platform/ProgramFolder.h"

namespace kivo {

UrlEntry::UrlEntry() : OwnFolder(platform::ProgramFolder()) {}

std::unique_ptr<UrlEntry> UrlEntry::Clone() const {
  auto copy = std::make_unique<UrlEntry>();
  copy->ListIndex = ListIndex;
  copy->Status = Status;
  copy->Name = Name;
  copy->Url = Url;
  copy->LinkLevel = LinkLevel;
  copy->LocalFile = LocalFile;
  copy->HasLastTime = HasLastTime;
  copy->LastTime = LastTime;
  copy->GetImages = GetImages;
  copy->OnlyListedServers = OnlyListedServers;
  for (const WideString* server : Servers) {
    copy->Servers.Add(std::make_unique<WideString>(*server));
  }
  copy->UseOwnFolder = UseOwnFolder;
  copy->OwnFolder = OwnFolder;
  return copy;
}

}  // namespace kivo
