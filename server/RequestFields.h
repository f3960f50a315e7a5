#pragma once
// Each request's fields as the handlers use them: decoded from the wire once,
// here, with texts converted to UTF-8 and numbers read. A field that cannot
// be read is refused here too (Refusal), before anything is changed.
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "server/RegisterStore.h"

namespace davu::server {

// GETSERVERVERSION: who the client is.
struct Introduction {
  std::string clientName;
  int clientType = -1;  // -1 when not a number
};
Introduction DecodeIntroduction(std::string_view body, char sep);

// GETCALLLIST, GETSTATIONCALLABLES: the client asked about.
struct StationQuery {
  std::string name;
  bool admin = false;  // the administration client's own name
};
StationQuery DecodeStationQuery(std::string_view body, char sep);

// GETINITEXT: the address ("\" in front dropped) and the key.
struct SettingQuery {
  std::string address;
  std::string key;
};
SettingQuery DecodeSettingQuery(std::string_view body, char sep);

// OPENSQL, EXECSQL: the client name runs to the first separator; the SQL
// text is the rest and may hold the separator itself (times of day).
std::string DecodeSqlText(std::string_view body, char sep);

// GETNEWCLIENT: the file asked for.
std::string DecodeFileName(std::string_view body, char sep);

// SETINITEXT: the value is everything after the key, a ":" in it kept.
struct SettingChange {
  std::string address;
  std::string key;
  std::string value;
};
SettingChange DecodeSettingChange(std::string_view body, char sep);

// POSTSMSSETTINGS
SmsAccount DecodeSmsChange(std::string_view body, char sep);

// REGISTERUPATECALLABLE: resources to save and numbers to delete.
struct CallableChanges {
  std::vector<Callable> saves;
  std::vector<std::int64_t> deletes;
};
CallableChanges DecodeCallableChanges(std::string_view body);

// REGISTERUPATEMACHINE: a client to save, or the name of one to delete.
struct StationDeletion {
  std::string name;
};
using MachineChange = std::variant<Station, StationDeletion>;
MachineChange DecodeMachineChange(std::string_view body);

// POSTCALLABLESLIST: a client's resources in the order chosen.
struct ChosenCallables {
  std::int64_t station = -1;
  std::vector<std::int64_t> lopnrs;
};
ChosenCallables DecodeChosenCallables(std::string_view body);

}  // namespace davu::server
