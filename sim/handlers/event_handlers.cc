// Event log commands: block reads, record-by-record reads, clear and
// restore.
#include "commands/command_codes.h"
#include "commands/encodings.h"
#include "handlers.h"

namespace zarvo::sim {
namespace {

// The flag byte every block request carries in front of the block number.
constexpr uint8_t kBlockRequestFlag = 0x80;

void Send(const StoredEvent& record, Reply& reply) {
  reply.payload.assign(record.begin(), record.end());
}

void ReadBlock(ControllerState& state, const Request& request, Reply& reply) {
  if (request.param(0) != kBlockRequestFlag) {
    reply.status = kStatusRefused;
    return;
  }
  reply.payload = state.events.Block(request.param(1));
}

void ReadCurrent(ControllerState& state, const Request&, Reply& reply) {
  Send(state.events.Current(), reply);
}

void ReadNext(ControllerState& state, const Request&, Reply& reply) {
  Send(state.events.Next(), reply);
}

// Only a request that carries the confirmation word clears the log.
void Clear(ControllerState& state, const Request& request, Reply& reply) {
  if (request.param_count() < 4 || ReadLittleEndian32(&request.body[3]) != kConfirmationWord) {
    reply.status = kStatusRefused;
    return;
  }
  state.events.Clear();
}

void Restore(ControllerState& state, const Request&, Reply&) { state.events.Restore(); }

}  // namespace

void RegisterEventHandlers(HandlerTable& table) {
  table[kCmdReadEventBlock] = ReadBlock;
  table[kCmdReadEvent] = ReadCurrent;
  table[kCmdNextEvent] = ReadNext;
  table[kCmdClearEvents] = Clear;
  table[kCmdRestoreEvents] = Restore;
}

}  // namespace zarvo::sim
