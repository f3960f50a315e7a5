#pragma once
// The requests that change the register or the settings: SETINITEXT,
// POSTSMSSETTINGS, REGISTERUPATECALLABLE, REGISTERUPATEMACHINE and
// POSTCALLABLESLIST. None has a reply of its own; a change that cannot be
// made is answered with a refusal. Each request is kept or undone as a whole,
// in one write transaction on the database it is given, so the same code runs
// on the serving thread for an in-memory database and on the writer's thread
// (DatabaseWriter) for a file.
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "server/RegisterStore.h"
#include "server/ServerDatabase.h"

namespace davu::server {

// A request or reply that cannot be served; what() is for the administrator (UTF-8).
class Refusal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One change request as it came, to be made away from the serving thread.
struct ChangeWork {
  std::string tag;
  char sep = ':';
  std::string body;
};

class RegisterChanges {
 public:
  explicit RegisterChanges(Database& db) : db_(db), store_(db) {}

  // Makes the change; empty when it was made, else why not (UTF-8, for the
  // "ERROR:" reply), including when the database stayed locked by another
  // writer for longer than this connection waits.
  std::optional<std::string> apply(std::string_view tag, char sep, std::string_view body);

 private:
  void make(std::string_view tag, char sep, std::string_view body);

  Database& db_;
  RegisterStore store_;
};

}  // namespace davu::server
