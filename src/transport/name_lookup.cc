#include "transport/name_lookup.h"

#include <atomic>
#include <cstring>
#include <new>

#include "transport/clock.h"

namespace zarvo::net {
namespace {

// Shared by the caller and the lookup thread; whichever lets go last frees
// it, so a caller that gave up leaves nothing behind.
struct LookupJob {
  std::atomic<int> holders{2};
  BlockingLookup lookup = nullptr;
  char host[256] = {};
  char port[8] = {};
  int capacity = 0;
  int count = kLookupFailed;
  SocketAddress found[kMaxLookupAddresses];
  CompletionSignal done;
};

void LetGo(LookupJob* job) {
  if (job->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    job->done.Close();
    delete job;
  }
}

void RunLookup(void* argument) {
  auto* job = static_cast<LookupJob*>(argument);
  job->count = job->lookup(job->host, job->port, job->found, job->capacity);
  job->done.Raise();
  LetGo(job);
}

bool WaitFor(CompletionSignal& done, uint32_t wait_ms) {
  MonotonicClock clock;
  const uint32_t start = clock.NowMs();
  for (;;) {
    const uint32_t spent = clock.NowMs() - start;
    if (spent >= wait_ms) return false;
    // Returns early on a signal to the process; the clock decides.
    if (done.WaitRaised(wait_ms - spent)) return true;
  }
}

}  // namespace

int LookUpWithin(const char* host, const char* port, SocketAddress* out, int capacity,
                 uint32_t wait_ms, BlockingLookup lookup) {
  if (capacity > kMaxLookupAddresses) capacity = kMaxLookupAddresses;
  const int numeric = ResolveNumericAddress(host, port, out, capacity);
  if (numeric > 0) return numeric;
  if (std::strlen(host) >= sizeof LookupJob::host || std::strlen(port) >= sizeof LookupJob::port) {
    return kLookupFailed;
  }
  auto* job = new (std::nothrow) LookupJob;
  if (job == nullptr) return kLookupFailed;
  if (!job->done.Open()) {
    delete job;
    return kLookupFailed;
  }
  job->lookup = lookup;
  std::strcpy(job->host, host);
  std::strcpy(job->port, port);
  job->capacity = capacity;
  if (!StartDetachedThread(RunLookup, job)) {
    job->done.Close();
    delete job;
    return kLookupFailed;
  }
  int result = kLookupTimedOut;
  if (WaitFor(job->done, wait_ms)) {
    result = job->count;
    if (result > 0)
      std::memcpy(out, job->found, sizeof(SocketAddress) * static_cast<size_t>(result));
  }
  LetGo(job);
  return result;
}

}  // namespace zarvo::net
