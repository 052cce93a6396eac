// zarvoctl doctor's parts: the report it builds, how it explains a device
// that does not open, and its search for the speed controllers answer at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tool.h"
#include "zarvoac.h"

namespace zarvoctl::doctor {

enum class Level { kOk, kNote, kProblem };

struct Finding {
  Level level;
  std::string code;  // stable, for scripts
  std::string text;
};

struct Controller {
  int32_t address;
  std::string version;
};

// Who decides the line's speed: this host (a serial device, or a device
// server that accepts COM-port control), or the device server alone.
enum class LineKind { kSerial, kTcp, kRfc2217 };

struct Report {
  std::string device;
  std::string probe_device;  // the name probed with (echo=off dropped when it hid an echo)
  LineKind kind = LineKind::kSerial;
  bool server_speed = false;  // the device server's own setting decides the speed
  int32_t speed = 0;          // 0: none found
  int32_t probe_address = 0;  // 0, or a controller's own when replies to 0 collide
  std::vector<Finding> findings;
  std::vector<Controller> controllers;
  ZarvoLineStats stats{};
  bool opened = false;

  void Add(Level level, std::string code, std::string text) {
    findings.push_back({level, std::move(code), std::move(text)});
  }
  int Problems() const {
    int count = 0;
    for (const Finding& f : findings) count += f.level == Level::kProblem;
    return count;
  }
  int Status() const { return !opened ? 2 : Problems() > 0 ? 1 : 0; }
};

LineKind KindOf(const std::string& device);
bool Contains(const std::string& text, const char* part);
ZarvoLineStats TakeStats(bool reset);
// Why the line's last open failed, or the reservation it opened with.
std::string OpenError();
// Why the line's last call failed, for findings about probes.
std::string LastCallError();

// Why the device did not open, with what to do about it.
void ExplainOpenFailure(Report& report, const std::string& reason);

// Opens the line at the speeds that may apply and probes each several
// times; sets report.speed (0 when nothing answered) and what it found.
// False when the device cannot be used at all.
bool FindSpeed(const Tool& tool, Report& report, int32_t last);

// Probes `address` on every address in 1..last; fills report.controllers.
void ScanAddresses(const Tool& tool, Report& report, int32_t last);

}  // namespace zarvoctl::doctor
