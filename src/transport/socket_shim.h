// The few socket calls the network transports need, with the differences
// between POSIX sockets and Winsock kept behind them: handle type, error
// numbers, non-blocking mode, polling, keep-alive timers, closing.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zarvo::net {

#if defined(_WIN32)
using SocketHandle = uintptr_t;  // SOCKET
inline constexpr SocketHandle kNoSocket = ~SocketHandle{0};
#else
using SocketHandle = int;
inline constexpr SocketHandle kNoSocket = -1;
#endif

// A resolved address, copied out of the resolver's list so that connecting
// again later needs neither a name lookup nor an allocation.
struct SocketAddress {
  alignas(8) unsigned char bytes[128] = {};  // sockaddr_storage
  int length = 0;
  int family = 0;
};

// Winsock needs starting once per user; no-ops elsewhere. StartSockets
// returns the system error, or 0.
int StartSockets();
void StopSockets();

int LastSocketError();
// Plain words for the errors a connection meets ("connection refused");
// nullptr for the rest.
const char* SocketErrorWords(int error);
bool IsInterrupted(int error);  // retry: a signal or a would-block
bool IsConnectPending(int error);
bool IsTimedOut(int error);

// Resolves `host` and the numeric `port` into at most `capacity` stream
// addresses; returns how many, or -1 when the name cannot be resolved.
// Blocks for as long as the name servers take.
int ResolveAddresses(const char* host, const char* port, SocketAddress* out, int capacity);
// The same for a numeric address only, which needs no name server and
// returns at once; -1 for a name.
int ResolveNumericAddress(const char* host, const char* port, SocketAddress* out, int capacity);

// Runs `run(argument)` on a new thread nobody waits for; false when no
// thread can be started.
bool StartDetachedThread(void (*run)(void*), void* argument);

// Raised once on one thread and waited for, with a deadline, on another.
class CompletionSignal {
 public:
  bool Open();
  void Close();
  void Raise();
  // True once raised; false when `wait_ms` ran out or a signal to the
  // process cut the wait short.
  bool WaitRaised(uint32_t wait_ms);

 private:
#if defined(_WIN32)
  void* event_ = nullptr;
#else
  int pipe_[2] = {-1, -1};
#endif
};

// A non-blocking stream socket of `family`, not inherited by child
// processes; kNoSocket on failure. It stays non-blocking: every wait is
// made by WaitSocket with a deadline.
SocketHandle OpenStreamSocket(int family);
// 0 when connected at once, or the system error (pending included).
int StartConnect(SocketHandle socket, const SocketAddress& address);
// The outcome of a connect that was pending: 0 or the system error.
int ConnectOutcome(SocketHandle socket);
// No delay for small writes; keep-alive probes after a few seconds of
// silence, so a peer that vanished is noticed.
void TuneForRequests(SocketHandle socket);
void CloseSocket(SocketHandle socket);

enum class Readiness { kReady, kTimedOut, kFailed };
// Waits up to `wait_ms` for input (or, when `for_write`, for a pending
// connect to finish or for room to send). A signal counts as kTimedOut; the caller checks its
// clock.
Readiness WaitSocket(SocketHandle socket, bool for_write, uint32_t wait_ms);

// One send/recv call; the count, or -1 with the error in LastSocketError().
// A send to a closed peer reports an error rather than raising a signal.
long SendBytes(SocketHandle socket, const uint8_t* bytes, size_t count);
long ReceiveBytes(SocketHandle socket, uint8_t* dest, size_t capacity);

}  // namespace zarvo::net
