// Card lists on a site of virtual controllers, kept in a real SQLite file:
// diff, apply, an interrupted apply resumed, unconfirmed writes, drift found
// and repaired, a renamed controller, cards written by other means revoked.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <stdexcept>

#include "card_apply.h"
#include "card_diff.h"
#include "card_io.h"
#include "card_list_csv.h"
#include "card_verify.h"
#include "lookalike_site.h"
#include "outside_changes.h"
#include "site_adapters.h"
#include "sqlite_card_list_store.h"

namespace zarvod::cards {
namespace {

constexpr const char* kFirstList =
    "number,number2,pin,value2,controllers\n"
    "1001,,111111,1,lobby\n"
    "1002,,222222,2,line0\n"
    "1003,,,3,*\n"
    "2001,2002,,4,C0.2\n";
// 1001 leaves C0.1, 1002 changes its pin, 1004 is new everywhere, the
// double card goes.
constexpr const char* kSecondList =
    "number,number2,pin,value2,controllers\n"
    "1001,,111111,1,line1\n"
    "1002,,333333,2,line0\n"
    "1003,,,3,*\n"
    "1004,,,5,*\n";

class CardCycleTest : public testing::VirtualSiteTest {
 protected:
  CardCycleTest() : VirtualSiteTest({{1, 2}, {1}}) {}

  void SetUp() override {
    VirtualSiteTest::SetUp();
    site_ = LayoutFromConfig(Config());
    ASSERT_TRUE(lookalike_.Open(Config()));
    SqliteCardListStore::EnsureSchema(JournalDb());
    store_ = std::make_unique<SqliteCardListStore>(JournalDb());
  }
  void TearDown() override {
    store_.reset();
    VirtualSiteTest::TearDown();
  }

  CardPlan Plan(const char* csv) {
    const auto parse = ParseCardList(csv, "cards.csv", site_);
    EXPECT_TRUE(parse.ok());
    return Diff(site_, parse.cards, *store_);
  }
  ApplyReport ApplyList(const char* csv, std::stop_token stop = {}, const ProgressFn& p = {}) {
    return Apply(Plan(csv), "cards.csv", runner_, *store_, std::move(stop), p);
  }
  // Whether the virtual controller holds the card, and its PIN.
  bool Holds(size_t line, uint8_t address, uint32_t number, std::string* pin = nullptr) {
    bool found = false;
    buses_[line]->WithController(address, [&](zarvo::sim::ControllerState& s) {
      const auto* card = s.cards.FindSingle(number);
      found = card != nullptr;
      if (card != nullptr && pin != nullptr) {
        char text[8];
        std::snprintf(text, sizeof text, "%02X%02X%02X", card->pin[0], card->pin[1], card->pin[2]);
        *pin = text;
      }
    });
    return found;
  }
  const ControllerRef& Ref(const std::string& name) { return *site_.Find(name); }
  void ExpectPlanShows(const char* csv, std::initializer_list<const char*> texts) {
    const std::string diff = FormatPlan(Plan(csv));
    for (const char* text : texts) EXPECT_NE(diff.find(text), std::string::npos) << diff;
  }
  int64_t JournaledChanges() {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(JournalDb(), "SELECT count(*) FROM card_changes", -1, &s, nullptr);
    sqlite3_step(s);
    const int64_t n = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    return n;
  }

  SiteLayout site_;
  testing::LookalikeSite lookalike_;
  SiteLineRunner<testing::LookalikeSite> runner_{lookalike_};
  std::unique_ptr<SqliteCardListStore> store_;
};

TEST_F(CardCycleTest, ApplyThenDiffIsInStepAndVerifyFindsNoDrift) {
  const CardPlan plan = Plan(kFirstList);
  EXPECT_EQ(plan.change_count(), 8U);  // C0.1: 3, C0.2: 3, C1.1: 2
  EXPECT_NE(FormatPlan(plan).find("C0.2 (line line0, address 2): 3 to add, 0 to change"),
            std::string::npos);
  const ApplyReport report = Apply(plan, "cards.csv", runner_, *store_, {}, {});
  EXPECT_EQ(report.done, 8U) << FormatApplyReport(report);
  EXPECT_TRUE(Holds(1, 1, 1001));
  EXPECT_FALSE(Holds(0, 2, 1001));
  EXPECT_EQ(JournaledChanges(), 8);
  const auto audit = lookalike_.Audit();  // lines in parallel: any order
  EXPECT_EQ(audit.size(), 8U);
  EXPECT_NE(std::find(audit.begin(), audit.end(), "cards: add card 00001001 on C0.1"), audit.end());

  EXPECT_EQ(Plan(kFirstList).change_count(), 0U);
  const VerifyReport verify = Verify(site_, runner_, *store_, {}, {});
  EXPECT_EQ(verify.checked, 8U);
  EXPECT_TRUE(verify.drifts.empty()) << FormatVerifyReport(verify);
}

TEST_F(CardCycleTest, InterruptedApplyRedoesOnlyWhatIsLeft) {
  ASSERT_EQ(ApplyList(kFirstList).done, 8U);
  const size_t planned = Plan(kSecondList).change_count();
  ASSERT_EQ(planned, 7U);  // 1001 and the double removed, 1002 changed twice, 1004 added thrice

  std::stop_source stop;
  const ApplyReport first = ApplyList(kSecondList, stop.get_token(), [&](const Progress& p) {
    if (p.done - p.failed >= 3) stop.request_stop();
  });
  EXPECT_TRUE(first.interrupted);
  ASSERT_GE(first.done, 3U);
  ASSERT_LT(first.done, planned);
  EXPECT_EQ(first.done + first.skipped, planned) << FormatApplyReport(first);

  const uint64_t requests_before = SiteRequests();
  const ApplyReport second = ApplyList(kSecondList);
  EXPECT_FALSE(second.interrupted);
  EXPECT_EQ(second.done, planned - first.done);
  EXPECT_EQ(SiteRequests() - requests_before, planned - first.done);  // one exchange each
  EXPECT_EQ(Plan(kSecondList).change_count(), 0U);
  std::string pin;
  EXPECT_TRUE(Holds(0, 1, 1002, &pin));
  EXPECT_EQ(pin, "333333");
  EXPECT_FALSE(Holds(0, 1, 1001));
  EXPECT_TRUE(Holds(1, 1, 1004));
}

// The journal refuses writes after `allowed` changes, as a full disk would.
class FillingStore : public CardListStore {
 public:
  FillingStore(CardListStore& inner, int allowed) : inner_(inner), allowed_(allowed) {}
  StoredCards Written(const ControllerRef& c) override { return inner_.Written(c); }
  int64_t BeginRun(const std::string& s, int64_t n) override { return inner_.BeginRun(s, n); }
  void Observed(const ControllerRef& c, const CardKey& k, const CardEntry* e) override {
    inner_.Observed(c, k, e);
  }
  void Record(int64_t run, const ControllerRef& c, const CardChange& change, ChangeOutcome o,
              int32_t r) override {
    if (allowed_-- <= 0) throw std::runtime_error("database or disk is full");
    inner_.Record(run, c, change, o, r);
  }
  void FinishRun(int64_t, int64_t, int64_t, bool) override {}

 private:
  CardListStore& inner_;
  std::atomic<int> allowed_;
};

TEST_F(CardCycleTest, JournalThatCannotBeWrittenStopsTheApply) {
  FillingStore full(*store_, 2);
  const ApplyReport first = Apply(Plan(kFirstList), "cards.csv", runner_, full, {}, {});
  EXPECT_TRUE(first.interrupted);
  EXPECT_LE(first.done, 4U);  // at most one change in flight per line past the last commit
  EXPECT_NE(FormatApplyReport(first).find("journal cannot be written"), std::string::npos);
  EXPECT_EQ(JournaledChanges(), 2);

  const ApplyReport second = ApplyList(kFirstList);  // the disk has room again
  EXPECT_EQ(second.done, 8U - 2U);                   // what was not journaled is done again
  EXPECT_EQ(Plan(kFirstList).change_count(), 0U);
}

TEST_F(CardCycleTest, RemovalOfACardAlreadyGoneCountsAsDone) {
  ASSERT_EQ(ApplyList(kFirstList).done, 8U);
  // As after a crash between the controller's delete and the journal's commit.
  buses_[0]->WithController(1, [](zarvo::sim::ControllerState& s) { s.cards.RemoveSingle(1001); });
  const ApplyReport report = ApplyList(kSecondList);
  EXPECT_EQ(report.done, 7U) << FormatApplyReport(report);
  EXPECT_EQ(Plan(kSecondList).change_count(), 0U);
}

TEST_F(CardCycleTest, UnconfirmedWriteIsRedoneAndRemovedWhenNoLongerWanted) {
  zarvo::sim::Fault fault;
  fault.kind = zarvo::sim::FaultKind::kOtherAddress;  // the controller acts, the reply is lost
  fault.count = -1;
  buses_[1]->InjectFault(fault);
  const ApplyReport report = ApplyList("number,controllers\n7,C1.1\n");
  EXPECT_EQ(report.uncertain, 1U);
  EXPECT_TRUE(Holds(1, 1, 7));
  buses_[1]->ClearFaults();

  const std::string diff = FormatPlan(Plan("number,controllers\n7,C1.1\n"));
  EXPECT_NE(diff.find("~ 00000007 rewrite: last write unconfirmed"), std::string::npos) << diff;
  const VerifyReport verify = Verify(site_, runner_, *store_, {}, {});
  ASSERT_EQ(verify.drifts.size(), 1U);
  EXPECT_EQ(verify.drifts[0].kind, DriftKind::kUnconfirmed);

  // No longer wanted: deleted, although no write of it was ever confirmed.
  EXPECT_EQ(ApplyList("number,controllers\n").done, 1U);
  EXPECT_FALSE(Holds(1, 1, 7));
}

TEST_F(CardCycleTest, VerifyReportsMissingAndChangedCards) {
  ASSERT_EQ(ApplyList(kFirstList).done, 8U);
  buses_[0]->WithController(2, [](zarvo::sim::ControllerState& s) {
    s.cards.RemoveDouble(2001, 2002);
    zarvo::sim::SingleCard card = *s.cards.FindSingle(1003);
    card.value2 = 99;
    s.cards.Put(card);
  });
  buses_[1]->Stop();  // C1.1's line goes dead: asked once, not for each of its cards
  const VerifyReport report = Verify(site_, runner_, *store_, {}, {});
  const auto audit = lookalike_.Audit();
  EXPECT_EQ(std::count_if(audit.begin(), audit.end(),
                          [](const std::string& a) {
                            return a.starts_with("cards: read card") && a.ends_with("on C1.1");
                          }),
            1);
  ASSERT_EQ(report.drifts.size(), 4U) << FormatVerifyReport(report);
  const std::string text = FormatVerifyReport(report);
  EXPECT_NE(text.find("C0.2 00001003 different: value2 3 -> 99"), std::string::npos) << text;
  EXPECT_NE(text.find("C0.2 00002001+00002002 missing"), std::string::npos) << text;
  EXPECT_NE(text.find("C1.1 00001003 unreadable"), std::string::npos) << text;
}

TEST_F(CardCycleTest, VerifiedDriftIsPutBackByTheNextApply) {
  ASSERT_EQ(ApplyList(kFirstList).done, 8U);
  buses_[0]->WithController(2, [](zarvo::sim::ControllerState& s) {
    s.cards.RemoveSingle(1003);  // another program deleted it
    zarvo::sim::SingleCard card = *s.cards.FindSingle(1002);
    card.value2 = 99;
    s.cards.Put(card);
  });
  ASSERT_EQ(Verify(site_, runner_, *store_, {}, {}).drifts.size(), 2U);
  ExpectPlanShows(kFirstList, {"C0.2 (line line0, address 2): 1 to add, 1 to change",
                               "~ 00001002 value2 99 -> 2"});
  EXPECT_EQ(ApplyList(kFirstList).done, 2U);
  const VerifyReport after = Verify(site_, runner_, *store_, {}, {});
  EXPECT_EQ(after.checked, 8U);
  EXPECT_TRUE(after.drifts.empty()) << FormatVerifyReport(after);
}

TEST_F(CardCycleTest, RenamedControllerKeepsItsCardsAndLosesTheRevokedOne) {
  ASSERT_EQ(ApplyList(kFirstList).done, 8U);
  site_.controllers[1].name = "back-door";  // C0.2, renamed in the site file
  constexpr const char* kWithoutTheDouble =
      "number,number2,pin,value2,controllers\n1001,,111111,1,lobby\n1002,,222222,2,line0\n"
      "1003,,,3,*\n";
  ExpectPlanShows(kWithoutTheDouble,
                  {"back-door (line line0, address 2): 0 to add, 0 to change, 1 to remove\n"
                   "  - 00002001+00002002"});
  ApplyList(kWithoutTheDouble);
  bool double_left = true;
  buses_[0]->WithController(2, [&](zarvo::sim::ControllerState& s) {
    double_left = s.cards.FindDouble(2001, 2002) != nullptr;
  });
  EXPECT_FALSE(double_left);
}

TEST_F(CardCycleTest, CardsRecordedByNameBeforeTheUpgradeMoveToTheirLineAndAddress) {
  ASSERT_EQ(sqlite3_exec(JournalDb(),
                         "INSERT INTO card_list VALUES ('C1.1', 61, 0, '000000', 0, 0, 0, "
                         "'2099-12-31', 0, 1, 0)",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  ExpectPlanShows("number,controllers\n",
                  {"C1.1 (line line1, address 1): 0 to add, 0 to change, 1 to remove\n"
                   "  - 00000061"});
}

// Cards written by remote commands: one the list does not want is removed,
// one deleted that the list wants comes back.
TEST_F(CardCycleTest, CardsWrittenOutsideTheListAreRevokedByApply) {
  constexpr const char* kList = "number,controllers\n1003,*\n";
  ASSERT_EQ(ApplyList(kList).done, 3U);
  CardEntry extra, gone;
  extra.key.number = 77;
  gone.key.number = 1003;
  ASSERT_EQ(runner_.Run("line1", {"add", 1, [&](ZarvoLine* l) { return WriteCard(l, 1, extra); }}),
            ZARVO_OK);
  ASSERT_EQ(
      runner_.Run("line0", {"delete", 1, [&](ZarvoLine* l) { return DeleteCard(l, 1, gone.key); }}),
      ZARVO_OK);
  RecordOutsideChanges(*store_, "mqtt:card.add", Ref("C1.1"),
                       {{{ChangeKind::kAdd, extra, {}}, ZARVO_OK}});
  RecordOutsideChanges(*store_, "mqtt:card.delete", Ref("C0.1"),
                       {{{ChangeKind::kRemove, gone, {}}, ZARVO_OK}});
  ExpectPlanShows(kList, {"C1.1 (line line1, address 1): 0 to add, 0 to change, 1 to remove\n"
                          "  - 00000077",
                          "C0.1 (line line0, address 1): 1 to add"});
  EXPECT_EQ(ApplyList(kList).done, 2U);
  EXPECT_FALSE(Holds(1, 1, 77));
  EXPECT_TRUE(Holds(0, 1, 1003));
}

}  // namespace
}  // namespace zarvod::cards
