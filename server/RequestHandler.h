#pragma once
// Turns the requests in a received text into replies. No sockets here: the
// caller feeds texts as the reassembler hands them out and sends the replies,
// so tests and the fuzzer drive this class directly.
//
// Request grammar (wire bytes, Windows-1252):
//   text    := { message | other }                 other bytes are ignored
//   message := "¤" TAG SEP body SEP TAG "¤"         TAG = [A-Z]+, SEP ":" ("$" for EXECSQL)
// A message is cut from its opening marker to the first closing marker after
// it, never by splitting at "¤": bodies carry "¤¤ADMIN¤¤", "¤DELETE_ME¤" and
// the record terminator "%¤" of REGISTERUPATECALLABLE.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "RegisterStore.h"
#include "ServerDatabase.h"
#include "SqlGate.h"

namespace davu::server {

struct ServerConfig {
  std::string version = "1.10.6";  // RETSERVERVERSION
  std::string updateDir;           // folder of program files for GETNEWCLIENT; empty: none
  std::size_t maxProgramFile = 256u * 1024u * 1024u;
  int programFilePauseMs = 200;    // see RequestHandler::programFileReplies
};

// One outgoing write. A pause asks the sender to wait that long after the
// previous write before this one.
struct Reply {
  std::string bytes;
  int pauseBeforeMs = 0;
};

// What the server knows about one connection.
struct Session {
  std::string peer;        // for the log
  std::string clientName;  // UTF-8, from GETSERVERVERSION
  int clientType = -1;
  bool introduced = false;
};

class RequestHandler {
 public:
  using ConnectedLookup = std::function<bool(const std::string& stationName)>;
  using Log = std::function<void(const std::string&)>;

  RequestHandler(Database& db, ServerConfig config);

  void setConnectedLookup(ConnectedLookup f) { connected_ = std::move(f); }
  void setLog(Log f) { log_ = std::move(f); }
  SqlGate& sqlGate() { return gate_; }

  // Handles every complete message in `text`, in stream order.
  std::vector<Reply> handleText(std::string_view text, Session& session);

 private:
  void handleMessage(std::string_view tag, char sep, std::string_view body, Session& s,
                     std::vector<Reply>& out);
  void refuse(std::string_view tag, const std::string& why, Session& s, std::vector<Reply>& out);

  std::string getCallList(const std::vector<std::string_view>& f);
  std::string allCallables();
  std::string allMachines();
  std::string stationCallables(const std::vector<std::string_view>& f);
  void registerCallables(std::string_view body);
  void registerMachine(std::string_view body);
  void postCallablesList(const std::vector<std::string_view>& f);
  void programFileReplies(const std::vector<std::string_view>& f, std::vector<Reply>& out);

  Database& db_;
  RegisterStore store_;
  SqlGate gate_;
  ServerConfig config_;
  ConnectedLookup connected_;
  Log log_;
};

// A request or reply that cannot be served; what() is for the administrator (UTF-8).
class Refusal : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace davu::server
