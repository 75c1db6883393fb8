#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kUsage =
    "Usage: kivo-cli [--version | --help]\n"
    "Patrols the watched web pages and keeps offline copies of them.\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("kivo-cli %s\n", KIVO_VERSION);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  std::fputs(kUsage, stderr);
  return 2;
}
