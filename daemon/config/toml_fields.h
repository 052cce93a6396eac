// Reading typed fields of the site file. A wrong field throws a Fault that
// carries its place in the file; ParseConfig turns it into a ConfigError.
#pragma once

#include <toml++/toml.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zarvod::toml_fields {

struct Fault {
  toml::source_region where;
  std::string message;
};

[[noreturn]] void Fail(const toml::node& node, std::string message);

// Reading a site file goes on past a fault where the rest can still be
// read, so that one run names every fault. While a FaultList is active on
// this thread, Note keeps a fault and returns, and Collect keeps a fault
// its reading throws; with none active both throw, as Fail does.
class FaultList {
 public:
  FaultList();
  ~FaultList();
  FaultList(const FaultList&) = delete;
  FaultList& operator=(const FaultList&) = delete;
  void Add(Fault fault) { faults_.push_back(std::move(fault)); }
  size_t count() const { return faults_.size(); }
  // The first fault found: the cause, where later ones may follow from it.
  const Fault* First() const { return faults_.empty() ? nullptr : &faults_.front(); }
  // The faults in file order, each once.
  std::vector<Fault> Sorted() const;

 private:
  FaultList* outer_;
  std::vector<Fault> faults_;
};

void Note(const toml::source_region& where, std::string message);
inline void Note(const toml::node& node, std::string message) {
  Note(node.source(), std::move(message));
}

// Runs `read`, keeping the Fault it throws when a FaultList is active.
template <typename Read>
void Collect(Read&& read);

// Every key of `table` must be one of `known`.
void RejectUnknownKeys(const toml::table& table, std::initializer_list<std::string_view> known);

const toml::table& RequireTable(const toml::node& node, std::string_view what);

std::string GetString(const toml::table& table, std::string_view key, std::string fallback,
                      bool required = false);
int64_t GetInt(const toml::table& table, std::string_view key, int64_t fallback, int64_t low,
               int64_t high, bool required = false);
bool GetBool(const toml::table& table, std::string_view key, bool fallback);
std::vector<std::string> GetStrings(const toml::table& table, std::string_view key,
                                    size_t max_count);

FaultList* ActiveFaultList();

template <typename Read>
void Collect(Read&& read) {
  FaultList* list = ActiveFaultList();
  if (list == nullptr) return read();
  try {
    read();
  } catch (Fault& fault) {
    list->Add(std::move(fault));
  }
}

}  // namespace zarvod::toml_fields
