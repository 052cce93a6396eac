// A pseudo-terminal pair: the virtual controller serves the master side, the
// library opens the slave side by its device name like any serial port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zarvo::sim {

// Writes all `count` bytes to `fd`, however many writes it takes; stops
// early only when the line is gone.
void WriteAll(int fd, const uint8_t* bytes, size_t count);

class PseudoTerminal {
 public:
  PseudoTerminal() = default;
  ~PseudoTerminal() { Close(); }
  PseudoTerminal(const PseudoTerminal&) = delete;
  PseudoTerminal& operator=(const PseudoTerminal&) = delete;

  // Creates the pair; false (with errno set) when the system refuses.
  bool Open();
  // Closes the master side (and our hold on the slave): a host reading the
  // slave then sees the line hang up.
  void Close();

  int master_fd() const { return master_fd_; }
  const std::string& device_name() const { return device_name_; }

 private:
  int master_fd_ = -1;
  // Held open so the master never sees a hang-up while no host has the
  // device open; never read from.
  int slave_hold_fd_ = -1;
  std::string device_name_;
};

}  // namespace zarvo::sim
