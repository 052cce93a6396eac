// Tells the MQTT side when the journal gained events or a controller's row
// changed, through SQLite's update hook on the journal's connection (all of
// the daemon writes through that one connection). The hook runs inside the
// writer's statement with the journal locked: the callbacks only wake
// someone, and never touch the journal.
#pragma once

#include <functional>
#include <mutex>

#include "journal/journal.h"

namespace zarvo::mqtt {

class JournalWatch {
 public:
  explicit JournalWatch(zarvod::Journal& journal);
  ~JournalWatch();

  void OnEvents(std::function<void()> wake);
  // `wake` gets the row id (controllers.id) of the controller that changed.
  void OnControllers(std::function<void(int64_t row)> wake);

 private:
  static void Hook(void* self, int operation, const char* database, const char* table,
                   sqlite3_int64 row);

  zarvod::Journal& journal_;
  std::mutex mutex_;
  std::function<void()> events_;
  std::function<void(int64_t)> controllers_;
};

}  // namespace zarvo::mqtt
