#include "journal/event_kinds.h"

namespace zarvod {

const EventKind* EventKinds::Find(int value1, int value2) const {
  auto it = kinds_.find({value1, value2});
  if (it == kinds_.end()) it = kinds_.find({value1, kAnyValue2});
  return it == kinds_.end() ? nullptr : &it->second;
}

std::string DescribeEvent(const EventKinds& kinds, int value1, int value2) {
  const EventKind* kind = kinds.Find(value1, value2);
  if (kind == nullptr) return "";
  std::string text = kind->words;
  if (kind->door > 0) text += ", door " + std::to_string(kind->door);
  if (!kind->direction.empty()) text += ", " + kind->direction;
  return text;
}

}  // namespace zarvod
