#include "urllist/UrlEntry.h"

namespace kivo {

UrlEntry::UrlEntry(std::u16string_view programFolder) : OwnFolder(programFolder) {}

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
