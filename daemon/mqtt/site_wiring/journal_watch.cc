#include "journal_watch.h"

#include <cstring>

namespace zarvo::mqtt {

JournalWatch::JournalWatch(zarvod::Journal& journal) : journal_(journal) {
  auto lock = journal_.Lock();
  sqlite3_update_hook(journal_.db(), Hook, this);
}

JournalWatch::~JournalWatch() {
  auto lock = journal_.Lock();
  sqlite3_update_hook(journal_.db(), nullptr, nullptr);
}

void JournalWatch::OnEvents(std::function<void()> wake) {
  std::lock_guard<std::mutex> lock(mutex_);
  events_ = std::move(wake);
}

void JournalWatch::OnControllers(std::function<void(int64_t row)> wake) {
  std::lock_guard<std::mutex> lock(mutex_);
  controllers_ = std::move(wake);
}

void JournalWatch::Hook(void* self, int operation, const char*, const char* table,
                        sqlite3_int64 row) {
  auto* watch = static_cast<JournalWatch*>(self);
  std::lock_guard<std::mutex> lock(watch->mutex_);
  if (operation == SQLITE_INSERT && std::strcmp(table, "events") == 0 && watch->events_) {
    watch->events_();
  } else if (std::strcmp(table, "controllers") == 0 && watch->controllers_) {
    watch->controllers_(row);
  }
}

}  // namespace zarvo::mqtt
