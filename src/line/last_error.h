// Why a line's last call failed, in words for the person looking at it ("no
// byte within 500 ms", "the device server closed the connection"), so that
// failures sharing a result code can be told apart. Fixed storage; a call
// that succeeds only clears the first byte.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarvo {

class LastError {
 public:
  static constexpr size_t kCapacity = 128;

  void Clear() { text_[0] = '\0'; }
  // printf-style; the text is cut at kCapacity - 1 characters.
  void Set(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;
  const char* text() const { return text_; }
  bool empty() const { return text_[0] == '\0'; }

 private:
  char text_[kCapacity] = {};
};

// Plain words for a failure result, for failures that set no text of
// their own (an argument refused before anything was sent, a short table).
const char* ResultWords(int32_t result);

}  // namespace zarvo
