#pragma once
// Turns the requests in a received text into replies. No sockets here: the
// caller feeds texts as the reassembler hands them out and sends the replies,
// so tests and the fuzzer drive this class directly.
//
// Request grammar (wire bytes, Windows-1252):
//   text    := { message | other }                 other bytes are ignored
//   message := "¤" TAG SEP body SEP TAG "¤"         SEP ":" ("$" for EXECSQL)
// Messages are found by davu_protocol's MessageScanner, the one the client's
// dispatcher uses, and their bodies read by its record readers.
#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/Requests.h"
#include "server/FileSlices.h"
#include "server/RegisterChanges.h"
#include "server/RegisterStore.h"
#include "server/ServerDatabase.h"
#include "server/ServerVersion.h"
#include "server/SqlGate.h"

namespace davu::server {

struct ServerConfig {
  std::string version = kServerVersion;  // RETSERVERVERSION
  std::string updateDir;           // folder of program files for GETNEWCLIENT; empty: none
  std::size_t maxProgramFile = 256u * 1024u * 1024u;
  int programFilePauseMs = 200;    // see RequestHandler::programFile
};

// One outgoing write. A pause asks the sender to wait that long after the
// previous write before this one. A file's bytes follow `bytes`, read from
// disk as the socket drains.
struct Reply {
  std::string bytes;
  int pauseBeforeMs = 0;
  std::shared_ptr<FileSlices> file = nullptr;
};

// What the server knows about one connection.
struct Session {
  std::string peer;        // for the log
  std::string clientName;  // UTF-8, from GETSERVERVERSION
  int clientType = -1;
  bool introduced = false;
};

// An SQL request the caller runs itself, away from the thread that serves
// connections (see SqlWorkers).
struct SqlWork {
  bool exec = false;  // EXECSQL, else OPENSQL
  std::string sqlUtf8;
  std::string client;  // the peer's address: its statements run one at a time
};

// What the caller runs away from the serving thread instead of the handler:
// a client's SQL (SqlWorkers) or a change (DatabaseWriter). The connection's
// next request waits for it, so replies keep their order.
struct Deferred {
  std::optional<SqlWork> sql;
  std::optional<ChangeWork> change;
};

class RequestHandler {
 public:
  using ConnectedLookup = std::function<bool(const std::string& stationName)>;
  using Log = std::function<void(const std::string& peer, const std::string& line)>;

  RequestHandler(Database& db, ServerConfig config);

  void setConnectedLookup(ConnectedLookup f) { connected_ = std::move(f); }
  void setLog(Log f) { log_ = std::move(f); }
  SqlGate& sqlGate() { return gate_; }

  // Handles every complete message in `text`, in stream order.
  std::vector<Reply> handleText(std::string_view text, Session& session);
  // Handles the first complete message at or after `pos` and returns the
  // position after it; npos when there is none. With `deferred`, an SQL
  // request or a change is not run but handed back there.
  std::size_t handleNext(std::string_view text, std::size_t pos, Session& session,
                         std::vector<Reply>& out, Deferred* deferred);
  // The error reply to a request that cannot be served, logged.
  Reply refusal(std::string_view tag, const std::string& why, const Session& s);

 private:
  // A request as it came: its kind in davu::proto::kRequests, the body undecoded.
  struct Incoming {
    davu::proto::Request::Kind kind;
    std::string_view tag;
    char sep;
    std::string_view body;
  };
  using Handler = void (RequestHandler::*)(const Incoming&, Session&, std::vector<Reply>&);
  struct Route {
    davu::proto::Request::Kind kind;
    Handler handler;
  };
  // Who serves each request, in the order of davu::proto::kRequests.
  static const std::array<Route, davu::proto::Request::Count> kRoutes;
  static constexpr bool routesInOrder();

  void handleMessage(std::string_view tag, char sep, std::string_view body, Session& s,
                     std::vector<Reply>& out);
  void refuse(std::string_view tag, const std::string& why, Session& s, std::vector<Reply>& out);

  // One per request kind, each reading its fields through RequestFields.
  void introduce(const Incoming& m, Session& s, std::vector<Reply>& out);
  void clinicName(const Incoming& m, Session& s, std::vector<Reply>& out);
  void callList(const Incoming& m, Session& s, std::vector<Reply>& out);
  void allCallables(const Incoming& m, Session& s, std::vector<Reply>& out);
  void allMachines(const Incoming& m, Session& s, std::vector<Reply>& out);
  void stationCallables(const Incoming& m, Session& s, std::vector<Reply>& out);
  void smsSettings(const Incoming& m, Session& s, std::vector<Reply>& out);
  void iniText(const Incoming& m, Session& s, std::vector<Reply>& out);
  void change(const Incoming& m, Session& s, std::vector<Reply>& out);
  void sql(const Incoming& m, Session& s, std::vector<Reply>& out);
  // GETNEWCLIENT: see ServerConfig::programFilePauseMs.
  void programFile(const Incoming& m, Session& s, std::vector<Reply>& out);

  Database& db_;
  RegisterStore store_;
  RegisterChanges changes_;  // when changes are not deferred
  SqlGate gate_;
  ServerConfig config_;
  ConnectedLookup connected_;
  Log log_;
  Deferred* deferred_ = nullptr;
  std::string unmarkedFile_;  // identity of the last program file found without markers
};

}  // namespace davu::server
