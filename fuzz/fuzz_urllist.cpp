// Feeds arbitrary bytes to the list-file reader as the contents of "Kivo.dat"
// and checks that whatever it accepts is written back in a form that reads
// the same again.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Utf8.h"
#include "urllist/UrlListFile.h"

namespace {

std::string gFolder;

void RemoveFolder() {
  std::remove((gFolder + "/Kivo.dat").c_str());
  ::rmdir(gFolder.c_str());
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return false;
  }
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/kivo-fuzz-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::abort();
  }
  gFolder = pattern;
  std::atexit(RemoveFolder);
  ::setenv("KIVO_HOME", gFolder.c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = gFolder + "/Kivo.dat";
  if (!WriteWholeFile(path, std::string(reinterpret_cast<const char*>(data), size))) {
    std::abort();
  }
  kivo::UrlListFile file(kivo::platform::Utf16FromUtf8(path));
  kivo::UrlList list;
  file.Load(list);
  const std::string encoded = kivo::UrlListFile::Encode(list);
  if (!WriteWholeFile(path, encoded)) {
    std::abort();
  }
  kivo::UrlList again;
  if (!file.Load(again) || again.Count() != list.Count() ||
      kivo::UrlListFile::Encode(again) != encoded) {
    std::abort();
  }
  return 0;
}
