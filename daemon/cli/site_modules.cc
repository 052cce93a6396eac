#include "cli/site_modules.h"

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>

#include "acl_service.h"
#include "card_io.h"
#include "cards/site_adapters.h"
#include "cli/mqtt_module.h"
#include "clock_keeper.h"
#include "clocks/site_adapters.h"
#include "control_server.h"
#include "journal/event_kinds_store.h"
#include "journal/migrations.h"
#include "log/log.h"
#include "outside_changes.h"
#include "socket_path.h"
#include "sqlite_card_list_store.h"
#include "time_zone.h"
#include "wall_clock.h"

#ifdef ZARVOD_WITH_MQTT
#include "card_write_listener.h"
#include "log/result_text.h"
#endif

namespace zarvod {
namespace {

// The card store on the journal's connection, used under the journal's
// lock: the connection has no mutex of its own, and a card change must
// never land inside an event's transaction.
class JournalCardStore : public cards::CardListStore {
 public:
  // Throws std::runtime_error when the card tables cannot be used.
  explicit JournalCardStore(Journal& journal) : journal_(journal) {
    auto lock = journal_.Lock();
    store_.emplace(journal_.db());
  }
  ~JournalCardStore() override {
    auto lock = journal_.Lock();
    store_.reset();
  }
  JournalCardStore(const JournalCardStore&) = delete;
  JournalCardStore& operator=(const JournalCardStore&) = delete;

  cards::StoredCards Written(const cards::ControllerRef& controller) override {
    auto lock = journal_.Lock();
    return store_->Written(controller);
  }
  int64_t BeginRun(const std::string& source, int64_t planned) override {
    auto lock = journal_.Lock();
    return store_->BeginRun(source, planned);
  }
  void Record(int64_t run, const cards::ControllerRef& controller, const cards::CardChange& change,
              cards::ChangeOutcome outcome, int32_t result) override {
    auto lock = journal_.Lock();
    store_->Record(run, controller, change, outcome, result);
  }
  void Observed(const cards::ControllerRef& controller, const cards::CardKey& key,
                const cards::CardEntry* found) override {
    auto lock = journal_.Lock();
    store_->Observed(controller, key, found);
  }
  void FinishRun(int64_t run, int64_t done, int64_t failed, bool interrupted) override {
    auto lock = journal_.Lock();
    store_->FinishRun(run, done, failed, interrupted);
  }

 private:
  Journal& journal_;
  std::optional<cards::SqliteCardListStore> store_;
};

// Everything the control socket serves, alive from start to stop.
struct ControlModule {
  cards::SiteLayout layout;
  std::unique_ptr<cards::SiteLineRunner<Site>> lines;
  std::unique_ptr<JournalCardStore> store;
  std::unique_ptr<control::AclService> acl;
  control::CommandTable commands;
  std::unique_ptr<control::ControlServer> server;
};

#ifdef ZARVOD_WITH_MQTT
// Cards written or deleted by MQTT commands go into the record of what each
// controller holds, like those of `acl apply`.
void RecordMqttCardWrites(const cards::SiteLayout& layout, cards::CardListStore& store) {
  zarvo::mqtt::SetCardWriteListener(
      [&layout, &store](const std::string& controller, const std::string& command,
                        const std::vector<zarvo::mqtt::CardWrite>& writes) {
        const cards::ControllerRef* where = layout.Find(controller);
        if (where == nullptr) return;
        std::vector<cards::OutsideChange> changes;
        for (const zarvo::mqtt::CardWrite& w : writes) {
          const cards::CardEntry entry = cards::EntryFromRecord(w.card);
          changes.push_back(
              {{w.deleted ? cards::ChangeKind::kRemove : cards::ChangeKind::kAdd, entry, {}},
               w.result});
        }
        try {
          cards::RecordOutsideChanges(store, "mqtt:" + command, *where, changes);
        } catch (const std::exception& e) {
          LogError("cards: " + command + " on " + controller + " not recorded: " + e.what());
        }
      });
}
#endif

// Lets go of everything the control module holds. Done at stop, or when its
// start fails (the module is then not stopped), never left to the module's
// last copy: the site and the journal it uses are gone by then.
void Release(ControlModule& state) {
#ifdef ZARVOD_WITH_MQTT
  zarvo::mqtt::SetCardWriteListener({});
#endif
  if (state.server) state.server->Stop();
  state.server.reset();
  state.commands = {};
  state.acl.reset();
  state.store.reset();
  state.lines.reset();
}

SiteModule ControlSocketModule(const std::string& socket_path) {
  auto state = std::make_shared<ControlModule>();
  SiteModule module;
  // A daemon that cannot serve its socket does not run: `acl` would find no
  // daemon there and open the lines beside it.
  module.start = [state, socket_path](Site& site, Journal& journal) -> std::string {
    state->layout = cards::LayoutFromConfig(site.config());
    state->lines = std::make_unique<cards::SiteLineRunner<Site>>(site, "control");
    try {
      state->store = std::make_unique<JournalCardStore>(journal);
    } catch (const std::runtime_error& e) {
      Release(*state);
      return std::string("control socket: card tables: ") + e.what();
    }
    state->acl = std::make_unique<control::AclService>(state->layout, *state->lines, *state->store);
    state->commands.ServeSite(site.config().site);
    control::AddAclCommands(state->commands, *state->acl);
    state->server = std::make_unique<control::ControlServer>(state->commands);
    const std::string error = state->server->Start(socket_path);
    if (!error.empty()) {
      Release(*state);
      return "control socket: " + error;
    }
#ifdef ZARVOD_WITH_MQTT
    RecordMqttCardWrites(state->layout, *state->store);
#endif
    LogInfo("control socket: " + socket_path);
    return "";
  };
  module.stop = [state] { Release(*state); };
  return module;
}

struct ClockModule {
  std::unique_ptr<clocks::SiteClockSetter<Site>> setter;
  clocks::SystemWallClock wall;
  std::unique_ptr<clocks::ClockKeeper> keeper;
  std::jthread thread;
};

void LogClockSetting(const clocks::ClockSetting& s) {
  const std::string text =
      "clock of " + s.controller + " (" + clocks::ClockReasonName(s.reason) + ")";
  if (s.result == ZARVO_OK) {
    LogInfo(text + " set");
  } else {
    LogWarning(text + " not set: " + ResultText(s.result));
  }
}

SiteModule ClockKeeperModule(const SiteConfig& config) {
  auto state = std::make_shared<ClockModule>();
  const clocks::ClockPolicy policy = clocks::PolicyFromConfig(config);
  SiteModule module;
  module.start = [state, policy](Site& site, Journal&) -> std::string {
    state->setter = std::make_unique<clocks::SiteClockSetter<Site>>(site);
    state->keeper =
        std::make_unique<clocks::ClockKeeper>(clocks::TargetsFromConfig(site.config()),
                                              *state->setter, state->wall, policy, LogClockSetting);
    state->thread = std::jthread([state](std::stop_token stop) { state->keeper->Run(stop); });
    return "";
  };
  module.stop = [state] {
    if (state->thread.joinable()) {
      state->thread.request_stop();
      state->thread.join();
    }
    state->keeper.reset();
    state->setter.reset();
  };
  return module;
}

}  // namespace

void RegisterModuleMigrations() {
  std::vector<Migration> steps;
  int step = 0;
  for (const std::string& sql : cards::CardListMigrations())
    steps.push_back({"cards", ++step, sql});
  AddMigrations(std::move(steps));
  AddMigrations(EventKindsMigrations());
  RegisterMqttMigrations();
}

std::string UseSiteTimeZone(const SiteConfig& config) {
  if (config.time_zone.empty()) return "";
  return clocks::UseTimeZone(config.time_zone);
}

std::string DefaultSocketPath(const std::string& site, const std::string& journal_path) {
  const std::string folder = control::kPackagedSocketFolder;
  struct stat st {};
  if (!site.empty() && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    return control::SiteSocketPath(folder, site);
  }
  return journal_path + ".sock";
}

std::vector<SiteModule> DaemonModules(const SiteConfig& config, const std::string& socket_path) {
  return {ClockKeeperModule(config), ControlSocketModule(socket_path), MqttModule(config)};
}

}  // namespace zarvod
