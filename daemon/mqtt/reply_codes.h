// Result codes of a remote command: the library's codes, and the daemon's
// own refusals, each below anything the library returns.
#pragma once

#include <cstdint>

namespace zarvo::mqtt {

inline constexpr int32_t kExpired = -100;            // deadline passed; not carried out
inline constexpr int32_t kMalformed = -101;          // bad request; nothing sent
inline constexpr int32_t kDisabled = -102;           // off in this site's config
inline constexpr int32_t kUnknownController = -103;  // no controller of that name
inline constexpr int32_t kUnknownCommand = -104;
inline constexpr int32_t kBadSignature = -105;  // unsigned or badly signed

// "OK", "NO_REPLY", "EXPIRED", ...; "UNKNOWN" for anything else.
const char* ReplyCodeName(int32_t code);

}  // namespace zarvo::mqtt
