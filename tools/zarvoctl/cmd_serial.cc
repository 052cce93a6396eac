// Line-level commands: probe one address, scan a range, and the demo.
#include <chrono>
#include <iostream>

#include "tool.h"
#include "zarvoac.h"

namespace zarvoctl {

int RunCommand(Tool& tool, const Args& words);

namespace {

int Probe(Tool& tool, const Args& args) {
  int32_t address = 0;
  if (args.size() != 1 || !ParseAddress(args[0], address)) {
    return tool.Usage("probe ADDRESS  (0 to 255)");
  }
  const auto start = std::chrono::steady_clock::now();
  const int32_t result = Zarvo_SearchAR(address);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start)
                      .count();
  Json json = Json::Object();
  json.Set("address", address).Set("found", result == ZARVO_OK).Set("ms", static_cast<int64_t>(ms));
  if (result != ZARVO_OK) {
    json.Set("result", ResultJson(result));
    tool.Emit(json, "no controller answered at address " + std::to_string(address) + ": " +
                        ResultText(result));
    return 1;
  }
  tool.Emit(json,
            "controller " + std::to_string(address) + " answered in " + std::to_string(ms) + " ms");
  return 0;
}

int Scan(Tool& tool, const Args& args) {
  int32_t from = 1, to = 255;
  if (args.size() == 2) {
    if (!ParseInt(args[0], from) || !ParseInt(args[1], to) || from < 0 || to > 255 || from > to) {
      return tool.Usage("scan [FROM TO]  (0 <= FROM <= TO <= 255)");
    }
  } else if (!args.empty()) {
    return tool.Usage("scan [FROM TO]");
  }
  Json found = Json::Array();
  std::string text;
  int count = 0;
  for (int32_t a = from; a <= to; ++a) {
    tool.Progress("scanning", a - from, to - from + 1);
    if (Zarvo_SearchAR(a) == ZARVO_OK) {
      found.Push(a);
      text += (count++ ? ", " : "") + std::to_string(a);
    }
  }
  tool.EndProgress();
  Json json = Json::Object();
  json.Set("from", from).Set("to", to).Set("found", found);
  tool.Emit(json, count == 0
                      ? "no controller found in " + std::to_string(from) + ".." + std::to_string(to)
                      : "controllers found: " + text);
  return count == 0 ? 1 : 0;
}

int Demo(Tool& tool, const Args&) {
  int failures = 0;
  for (const Args& step : Commands().demo_steps()) {
    std::string line = "$ zarvoctl";
    for (const std::string& w : step) line += " " + w;
    if (!tool.json()) std::cout << "\n" << line << "\n" << std::flush;
    if (RunCommand(tool, step) != 0) ++failures;
  }
  if (!tool.json()) {
    std::cout << "\ndemo finished: " << Commands().demo_steps().size() << " steps, " << failures
              << " failed\n";
  }
  return failures == 0 ? 0 : 1;
}

}  // namespace

void RegisterSerialCommands(Registry& r) {
  r.Add({"probe", "ADDRESS", "check whether a controller answers at ADDRESS (0: any)", Probe});
  r.Add({"scan", "[FROM TO]", "probe every address in FROM..TO (default 1..255)", Scan});
  r.Add({"demo", "", "run a short scripted session against the controller", Demo});
  r.AddDemoStep({"probe", "1"});
  r.AddDemoStep({"scan", "1", "4"});
}

}  // namespace zarvoctl
