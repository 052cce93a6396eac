#include "virtual_bus.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <utility>

#include "codec/frame_codec.h"
#include "line_conditions.h"

namespace zarvo::sim {
namespace {

constexpr uint8_t kReplyType = 0x01;
// Bytes a real line may carry ahead of a reply: never 0x00 (which ends the
// host's search for a start byte) and never a frame mark.
constexpr uint8_t kNoise[] = {0x55, 0x0A, 0xFF, 0x13};

}  // namespace

VirtualBus::VirtualBus(std::vector<uint8_t> addresses, std::unique_ptr<BusWire> wire)
    : wire_(wire ? std::move(wire) : MakeNativeWire()) {
  for (uint8_t a : addresses) controllers_[a] = std::make_unique<ControllerState>(a);
}

VirtualBus::~VirtualBus() { Stop(); }

bool VirtualBus::Start() {
  if (!wire_->Open()) return false;
  stopping_ = false;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void VirtualBus::Stop() {
  stopping_ = true;
  wire_->Wake();
  if (thread_.joinable()) thread_.join();
  wire_->Close();
}

void VirtualBus::Serve() {
  RequestParser* self = nullptr;
  // Dropped frames are counted before the next request is answered, so a
  // host that sees the reply also sees the count.
  RequestParser parser([this, &self](const Request& r) {
    {
      std::lock_guard lock(mutex_);
      bad_frames_ = self->bad_frames();
    }
    OnRequest(r);
  });
  self = &parser;
  uint8_t chunk[4096];
  while (!stopping_) {
    const long n = wire_->Receive(chunk, sizeof chunk);
    if (n < 0) break;
    if (n == 0) continue;
    if (echo_) wire_->Send(chunk, static_cast<size_t>(n));
    parser.Feed(chunk, static_cast<size_t>(n));
    std::lock_guard lock(mutex_);
    bad_frames_ = parser.bad_frames();
  }
}

ControllerState* VirtualBus::Find(uint8_t address) {
  if (controllers_.empty()) return nullptr;
  // A request to address 0 is answered by the lowest address served.
  if (address == 0) return controllers_.begin()->second.get();
  auto it = controllers_.find(address);
  return it == controllers_.end() ? nullptr : it->second.get();
}

void VirtualBus::OnRequest(const Request& request) {
  // A controller at another speed than the host's cannot read the request;
  // what it sends back reaches the host as garbage.
  if (baud_ != 0 && wire_->HostSpeed() != baud_) {
    ++requests_;
    SendReply(AtOtherSpeed(request), Fault{});
    return;
  }
  std::vector<uint8_t> wire;
  Fault fault;
  {
    std::lock_guard lock(mutex_);
    ++requests_;
    last_request_ = request.body;
    ControllerState* state = Find(request.address);
    if (state == nullptr) return;
    fault = TakeFault(request.command);
    if (fault.kind == FaultKind::kSilence) return;
    if (collide_ && request.address == 0 && controllers_.size() > 1) {
      std::vector<std::vector<uint8_t>> replies;
      std::vector<ControllerState*> all;
      for (auto& [address, controller] : controllers_) all.push_back(controller.get());
      for (ControllerState* each : all) replies.push_back(Answer(*each, request, fault));
      wire = Collide(replies);
    } else {
      wire = Answer(*state, request, fault);
    }
    if (after_answer_) after_answer_(request.command, *state);
    if (noise_) AddStrayBytes(wire);
  }
  // On the wire a request of n body bytes takes 2n + 6 bytes.
  SendReply(wire, fault, 2 * request.body.size() + 6);
}

void VirtualBus::set_after_answer(AnswerHook hook) {
  std::lock_guard lock(mutex_);
  after_answer_ = std::move(hook);
}

std::vector<uint8_t> VirtualBus::Answer(ControllerState& state, const Request& request,
                                        const Fault& fault) {
  Reply reply;
  Handler handler = Handlers()[request.command];
  if (handler == nullptr) {
    reply.status = kStatusUnknownCommand;
  } else {
    handler(state, request, reply);
  }
  Readdress(state, reply);
  return BuildReply(state, request, reply, fault);
}

// A controller that took a new address answers there from now on; one that
// would collide with another controller refuses the change.
void VirtualBus::Readdress(ControllerState& state, Reply& reply) {
  auto old = controllers_.begin();
  while (old != controllers_.end() && old->second.get() != &state) ++old;
  if (old == controllers_.end() || old->first == state.address) return;
  if (state.address == 0 || controllers_.count(state.address) != 0) {
    state.address = old->first;
    reply.status = kStatusRefused;
    return;
  }
  std::unique_ptr<ControllerState> moved = std::move(old->second);
  controllers_.erase(old);
  controllers_[state.address] = std::move(moved);
}

std::vector<uint8_t> VirtualBus::BuildReply(const ControllerState& state, const Request& request,
                                            const Reply& reply, const Fault& fault) const {
  std::vector<uint8_t> frame = {kReplyStart, kReplyType, state.address, request.command,
                                reply.status};
  // Answering a change of address, the controller still speaks as the
  // address it was asked at, so the host can match the reply.
  if (request.address != 0) frame[2] = request.address;
  frame.insert(frame.end(), reply.payload.begin(), reply.payload.end());
  if (fault.kind == FaultKind::kOtherAddress) frame[2] = static_cast<uint8_t>(frame[2] + 1);
  if (fault.kind == FaultKind::kOtherCommand) frame[3] = static_cast<uint8_t>(frame[3] + 1);
  if (fault.kind == FaultKind::kRefuse) frame[4] = fault.status == 0 ? 3 : fault.status;
  if (fault.kind == FaultKind::kOverLong) frame.resize(frame.size() + 4200, 0x11);
  const uint16_t crc = Crc16(frame.data() + 1, frame.size() - 1);
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  frame.push_back(static_cast<uint8_t>(crc));
  frame.push_back(kReplyEnd);

  std::vector<uint8_t> wire(2 * frame.size() - 2);
  EncodeFrame(frame.data(), frame.size(), wire.data());
  if (fault.kind == FaultKind::kNoise)
    wire.insert(wire.begin(), std::begin(kNoise), std::end(kNoise));
  if (fault.kind == FaultKind::kTruncate) {
    wire.resize(wire.size() > fault.bytes ? wire.size() - fault.bytes : 1);
  }
  return wire;
}

void VirtualBus::SendPaced(const std::vector<uint8_t>& wire, size_t request_bytes) {
  using Clock = std::chrono::steady_clock;
  const auto byte_time = std::chrono::nanoseconds(10'000'000'000ull / paced_baud_);
  Clock::time_point at = Clock::now() + byte_time * request_bytes;
  // A few bytes at a time, each chunk when its last byte would have left.
  constexpr size_t kChunk = 8;
  for (size_t i = 0; i < wire.size() && !stopping_; i += kChunk) {
    const size_t n = std::min(kChunk, wire.size() - i);
    at += byte_time * n;
    std::this_thread::sleep_until(at);
    wire_->Send(&wire[i], n);
  }
}

void VirtualBus::SendReply(const std::vector<uint8_t>& wire, const Fault& fault,
                           size_t request_bytes) {
  switch (fault.kind) {
    case FaultKind::kTrickle:
      for (size_t i = 0; i < wire.size() && !stopping_; ++i) {
        if (i > 0) wire_->Pause(fault.delay_ms);
        wire_->Send(&wire[i], 1);
      }
      break;
    case FaultKind::kLate:
      wire_->Pause(fault.delay_ms);
      wire_->Send(wire.data(), wire.size());
      break;
    case FaultKind::kCloseLine:
      wire_->Send(wire.data(), wire.size() / 2);
      wire_->HangUp();
      break;
    default:
      if (paced_baud_ != 0) {
        SendPaced(wire, request_bytes);
      } else {
        wire_->Send(wire.data(), wire.size());
      }
      break;
  }
  {
    std::lock_guard lock(mutex_);
    ++replies_;
  }
  replied_.notify_all();
}

Fault VirtualBus::TakeFault(uint8_t command) {
  if (fault_.command != 0 && fault_.command != command) return Fault{};
  Fault now = fault_;
  if (fault_.kind != FaultKind::kNone && fault_.count > 0 && --fault_.count == 0) {
    fault_ = Fault{};
  }
  return now;
}

void VirtualBus::InjectFault(const Fault& fault) {
  std::lock_guard lock(mutex_);
  fault_ = fault;
}

void VirtualBus::ClearFaults() {
  std::lock_guard lock(mutex_);
  fault_ = Fault{};
}

uint64_t VirtualBus::bad_frame_count() const {
  std::lock_guard lock(mutex_);
  return bad_frames_;
}

std::vector<uint8_t> VirtualBus::last_request() const {
  std::lock_guard lock(mutex_);
  return last_request_;
}

void VirtualBus::ForEachController(const std::function<void(ControllerState&)>& each) {
  std::lock_guard lock(mutex_);
  for (auto& [address, state] : controllers_) each(*state);
}

bool VirtualBus::WithController(uint8_t address,
                                const std::function<void(ControllerState&)>& inspect) {
  std::lock_guard lock(mutex_);
  auto it = controllers_.find(address);
  if (it == controllers_.end()) return false;
  inspect(*it->second);
  return true;
}

bool VirtualBus::WaitForReplies(uint64_t count, uint32_t timeout_ms) const {
  std::unique_lock lock(mutex_);
  return replied_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                           [&] { return replies_ >= count; });
}

}  // namespace zarvo::sim
