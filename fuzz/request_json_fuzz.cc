// A remote command's payload as the MQTT side reads it: whatever the bytes,
// reading, redacting and recording the request finish without a crash and
// within the stack, and a request that is read back prints again.
#include <cstdint>
#include <string>
#include <string_view>

#include "request_json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view payload(reinterpret_cast<const char*>(data), size);
  const zarvo::mqtt::RequestJson request = zarvo::mqtt::ParseRequestJson(payload);
  if (!request.error.empty()) return 0;
  const std::string record = zarvo::mqtt::CommandRecordText("probe", request.body);
  if (record.size() > 2 * zarvo::mqtt::kMaxRecordBytes) __builtin_trap();
  const nlohmann::json again = nlohmann::json::parse(request.body.dump());
  if (again != request.body) __builtin_trap();
  return 0;
}
