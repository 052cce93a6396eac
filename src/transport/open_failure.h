// Why the last open of a line failed, in words for the person installing it
// ("permission denied: is the user in the dialout group?"). Fixed storage:
// opening allocates nothing to explain itself.
#pragma once

#include <cstddef>

namespace zarvo {

class OpenFailure {
 public:
  static constexpr size_t kCapacity = 256;

  void Clear() { text_[0] = '\0'; }
  // printf-style; the text is cut at kCapacity - 1 characters.
  void Set(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  // "<what>: <reason for the system error `error`>".
  void SetSystemError(const char* what, int error);
  const char* text() const { return text_; }
  bool empty() const { return text_[0] == '\0'; }

 private:
  char text_[kCapacity] = {};
};

// Plain words for the system errors an open meets, with the usual fix where
// there is one; nullptr for the rest.
const char* SystemErrorText(int error);

}  // namespace zarvo
