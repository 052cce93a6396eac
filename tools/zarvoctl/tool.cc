#include "tool.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "console.h"
#include "faults.h"
#include "frame_trace.h"
#include "result_codes.h"
#include "shared/number_text.h"
#include "virtual_bus.h"
#include "zarvoac.h"

namespace zarvoctl {

Tool::Tool(Options options) : options_(std::move(options)) {}

Tool::~Tool() {
  Zarvo_CloseCom();
  Zarvo_LineSetTrace(Zarvo_DefaultLine(), nullptr, nullptr);
  Zarvo_LineCapture(Zarvo_DefaultLine(), nullptr);
  if (sim_) sim_->Stop();
}

std::string Tool::Device() {
  if (!options_.port.empty()) return options_.port;
  if (!options_.sim) {
    std::cerr << "zarvoctl: no line given. Name the controllers' line with --port DEVICE (or\n"
                 "the ZARVO_PORT environment variable), or use --sim for the built-in virtual\n"
                 "controller; nothing was sent.\n";
    return "";
  }
  if (sim_) return sim_->device_name();
  sim_ = std::make_unique<zarvo::sim::VirtualBus>(options_.sim_addresses);
  if (!sim_->Start()) {
    std::perror("zarvoctl: cannot bring up the virtual controller's line");
    return "";
  }
  if (!options_.sim_fault.empty()) {
    zarvo::sim::Fault fault;
    if (!zarvo::sim::ParseFault(options_.sim_fault, fault)) {
      std::cerr << "zarvoctl: unknown fault '" << options_.sim_fault
                << "'; known: " << zarvo::sim::FaultNames() << "\n";
      sim_.reset();
      return "";
    }
    sim_->InjectFault(fault);
  }
  sim_->set_baud(options_.sim_baud);
  sim_->set_noise(options_.sim_noise);
  sim_->set_collide(options_.sim_collide);
  sim_->set_echo(options_.sim_echo);
  return sim_->device_name();
}

bool Tool::WatchLine() {
  if (options_.trace) TraceFrames(Zarvo_DefaultLine(), stderr);
  if (!options_.pcap.empty() &&
      Zarvo_LineCapture(Zarvo_DefaultLine(), options_.pcap.c_str()) != 0) {
    std::cerr << "zarvoctl: cannot create the capture file " << options_.pcap << "\n";
    return false;
  }
  return true;
}

std::string WithoutDevice(const std::string& reason, const std::string& device) {
  const std::string prefix = device + ": ";
  return reason.rfind(prefix, 0) == 0 ? reason.substr(prefix.size()) : reason;
}

bool Tool::Connect() {
  const std::string device = Device();
  if (device.empty() || !WatchLine()) return false;
  const int32_t result = Zarvo_OpenCom(device.c_str(), options_.baud);
  char text[256] = {};
  Zarvo_LineOpenError(Zarvo_DefaultLine(), text, sizeof text);
  const std::string reason = WithoutDevice(text, device);
  if (result == ZARVO_E_REFUSED) {
    Report("cannot open " + device + ": " + reason, result, "");
    return false;
  }
  if (result != ZARVO_OK) {
    Report("cannot set up " + device + " at " + std::to_string(options_.baud) + " bit/s: " + reason,
           result, "");
    return false;
  }
  if (text[0] != '\0' && options_.trace) std::fprintf(stderr, "-- %s\n", text);
  return true;
}

void Tool::Emit(const Json& json, const std::string& text) const {
  if (options_.json) {
    std::cout << json.Dump() << "\n";
  } else if (!text.empty()) {
    std::cout << text << (text.back() == '\n' ? "" : "\n");
  }
  std::cout.flush();
}

int Tool::Fail(const std::string& what, int32_t result) const {
  char why[128] = {};
  Zarvo_LineLastError(Zarvo_DefaultLine(), why, sizeof why);
  return Report(what, result, why);
}

int Tool::Report(const std::string& what, int32_t result, const std::string& why) const {
  if (options_.json) {
    Json error = Json::Object();
    error.Set("ok", false).Set("error", what).Set("result", ResultJson(result));
    if (!why.empty()) error.Set("reason", why);
    std::cout << error.Dump() << "\n";
  } else {
    std::cerr << "zarvoctl: " << what << ": " << ResultText(result)
              << (why.empty() ? "" : ": " + why) << "\n";
  }
  return 1;
}

void Tool::SetCurrent(const Command* command, const Args& args) {
  current_ = command;
  current_args_ = args;
}

int Tool::Usage(const std::string& usage) const {
  const std::string wrong = current_ ? WrongArgument(current_->usage, current_args_) : "";
  // Commands that found the fault themselves already name it in `usage`.
  const bool named = usage.find("\n  missing ") != std::string::npos ||
                     usage.find("\n  bad ") != std::string::npos ||
                     usage.find("\n  unexpected ") != std::string::npos;
  if (!wrong.empty() && !named) std::cerr << "zarvoctl: " << wrong << "\n";
  std::cerr << "usage: zarvoctl " << usage << "\n";
  return 2;
}

void Tool::Progress(const std::string& label, long done, long total) const {
  if (!StderrIsTerminal() || total <= 0) return;
  const int width = 30;
  const int filled = static_cast<int>(width * done / total);
  char bar[160];
  std::snprintf(bar, sizeof bar, "%s [%.*s%*s] %ld/%ld", label.c_str(), filled,
                "##############################", width - filled, "", done, total);
  ShowProgress(bar);
}

void Tool::EndProgress() const { HideProgress(); }

bool Tool::Confirm(const std::string& question) const {
  if (options_.yes) return true;
  if (!StdinIsTerminal()) {
    std::cerr << "zarvoctl: " << question << " Refused: not a terminal (use --yes).\n";
    return false;
  }
  std::cerr << question << " [y/N] ";
  std::string answer;
  std::getline(std::cin, answer);
  return answer == "y" || answer == "Y" || answer == "yes";
}

bool ParseInt(const std::string& text, int64_t& value) {
  return zarvo::tools::ParseNumber(text, value);
}

bool ParseInt(const std::string& text, int32_t& value) {
  int64_t wide = 0;
  if (!ParseInt(text, wide) || wide < INT32_MIN || wide > INT32_MAX) return false;
  value = static_cast<int32_t>(wide);
  return true;
}

bool ParseAddress(const std::string& text, int32_t& address) {
  return ParseInt(text, address) && address >= 0 && address <= 255;
}

std::string ResultText(int32_t result) {
  return std::string(zarvo::ResultName(result)) + " (" + std::to_string(result) + ")";
}

Json ResultJson(int32_t result) {
  Json j = Json::Object();
  j.Set("code", result).Set("name", zarvo::ResultName(result));
  return j;
}

std::string Hex(const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    if (i) out += ' ';
    out += kDigits[bytes[i] >> 4];
    out += kDigits[bytes[i] & 0x0F];
  }
  return out;
}

}  // namespace zarvoctl
