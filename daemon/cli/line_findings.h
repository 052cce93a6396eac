// The words for a line that cannot go into a site file as given: what was
// seen on it, and what to do.
#pragma once

#include <string>
#include <vector>

namespace zarvod::line_findings {

// The port did not open; `reason` is the library's.
std::string OpenFailed(const std::string& port, const std::string& reason);
// The port took no line speed at all; `reason` is the library's.
std::string SpeedRefused(const std::string& port, int baud, const std::string& reason);
// Controllers answer, but at `found` bit/s.
std::string WrongSpeed(const std::string& port, int asked, int found);
// The port name's echo=off hides the replies behind the adapter's echo.
std::string EchoOffHidesReplies(const std::string& port);
// A device server decides the speed, and nothing answers at its setting.
std::string NothingAtServerSpeed(const std::string& port, const std::string& last_error);
// Only the adapter's echo of each request came back, at every speed tried.
std::string OnlyEcho(const std::string& port);
// Bytes came back that never made a reply, at every speed tried.
std::string Garbled(const std::string& port, const std::vector<int>& speeds,
                    const std::string& last_error);
// Silence at every speed tried.
std::string Silence(const std::string& port, const std::string& last_error);
// A controller answers address 0, but none of 1 to `last` answered.
std::string AboveLastAddress(const std::string& port, int last);

}  // namespace zarvod::line_findings
