#pragma once

#include <utility>

namespace kivo::platform {

// Owns one POSIX file descriptor and closes it when destroyed.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset(std::exchange(other.fd_, -1));
    }
    return *this;
  }
  ~UniqueFd() { Reset(); }

  bool IsValid() const { return fd_ >= 0; }
  int Get() const { return fd_; }
  // Closes the descriptor now; returns false when close reported an error.
  bool Reset(int fd = -1);

 private:
  int fd_ = -1;
};

}  // namespace kivo::platform
