// Work on a site's lines in parallel: one thread per line, each taking the
// controllers of its line in order. A line's own worker still runs the
// exchanges one at a time; the threads here only wait for them.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace zarvod::cards {

template <typename Item>
void ForEachLineInParallel(const std::vector<Item>& items,
                           const std::function<std::string(const Item&)>& line_of,
                           const std::function<void(const std::vector<const Item*>&)>& work) {
  std::map<std::string, std::vector<const Item*>> by_line;
  for (const Item& item : items) by_line[line_of(item)].push_back(&item);
  std::vector<std::jthread> threads;
  for (const auto& entry : by_line) {
    const std::vector<const Item*>& line_items = entry.second;
    threads.emplace_back([&work, &line_items] { work(line_items); });
  }
}

// Progress of a run over many cards, for a progress bar.
struct Progress {
  size_t done = 0;  // tried, whatever the outcome
  size_t total = 0;
  size_t failed = 0;
};

using ProgressFn = std::function<void(const Progress&)>;

}  // namespace zarvod::cards
