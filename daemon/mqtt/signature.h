// HMAC-SHA256 signatures on requests and replies, for brokers the site does
// not control. The signature covers the topic and the payload exactly as
// sent ("<topic>\n<payload>"), and travels as MQTT 5 user properties: the
// signer's key id and the hex signature. The payload's request id and
// deadline are signed with it, so a replayed door-open is refused.
#pragma once

#include <string>

namespace zarvo::mqtt {

inline constexpr const char* kKeyIdProperty = "zarvo-key";
inline constexpr const char* kSignatureProperty = "zarvo-signature";

// Lower-case hex HMAC-SHA256 of "<topic>\n<payload>" under `key`.
std::string SignMessage(const std::string& key, const std::string& topic,
                        const std::string& payload);

// Compares in time independent of where the texts differ.
bool SignatureMatches(const std::string& expected, const std::string& given);

}  // namespace zarvo::mqtt
