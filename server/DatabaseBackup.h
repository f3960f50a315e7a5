#pragma once
// A consistent copy of the server's database while the server keeps running.
// SQLite's online backup API copies every page inside one read transaction,
// so the copy is the database as it was at one commit; writers in WAL mode
// are not held up meanwhile.
#include <string>

namespace davu::server {

// Copies `source` into `target` as one self-contained file (no WAL), checked
// with PRAGMA integrity_check. The copy is written beside `target` and renamed
// over it only when complete, so a failure never leaves half a backup.
// The source is opened read-only and never changed.
bool BackupDatabase(const std::string& source, const std::string& target, std::string* error);

}  // namespace davu::server
