// The journal as a file on disk: which names can be one, where a relative
// name lies, the mode a new journal gets, whether this process can write it,
// and whether the file open now is still the one at its path.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

namespace zarvod {

// Why `path` cannot name a journal ("" when it can): an empty name, ":memory:"
// and URI names ("file:...") keep nothing once the process ends, or
// something other than the one file the daemon, its readers and the lock
// agree on.
std::string JournalNameProblem(const std::string& path);

// `path` as the site file at `config_path` means it: a relative path is
// relative to the site file's folder, not to the working directory.
std::string BesideSiteFile(const std::string& path, const std::string& config_path);

// The mode of a new journal and of the files SQLite and the lock put beside
// it: card PINs are in it, so 0600, or 0640 under a umask that keeps others
// out (the packaged service's), where the zarvod group may read.
mode_t JournalFileMode();

// Creates the journal file with JournalFileMode() when it is missing (given
// to the folder's owner when root creates it, as SQLite does with its own
// files), then checks that this process can write the file and its folder.
// Returns "" or why the journal cannot be used, naming the file and the
// permission.
std::string PrepareJournalFile(const std::string& path);

struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The file at `path` now; nullopt when there is none.
std::optional<FileIdentity> IdentityAt(const std::string& path);

// "" while `path` still names the file `open` was opened as, else what
// became of it.
std::string JournalFileChange(const std::string& path, const FileIdentity& open);

}  // namespace zarvod
