#pragma once
// Every request the administration client sends, byte for byte. Arguments are
// wire bytes (Windows-1252): callers encode user text before passing it.
// Tags are spelled as the servers expect them, REGISTERUPATE... included.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace davu::proto {

inline constexpr std::string_view kAdminClientName = "\xA4\xA4" "ADMIN" "\xA4\xA4";  // "¤¤ADMIN¤¤"

// "¤GETSERVERVERSION:" + client + ":" + type + ":GETSERVERVERSION¤"
std::string GetServerVersion(std::string_view clientName, int clientType);
// "¤GETCALLLIST:" + client + ":" + type + ":GETCALLLIST¤"
std::string GetCallList(std::string_view clientName, std::string_view clientType);
// "¤GETKLINIKNAMN:¤¤ADMIN¤¤:2:GETKLINIKNAMN¤" for the admin.
std::string GetKliniknamn(std::string_view clientName, std::string_view clientType);

// Settings. The global read puts "\" in front of the section, the global
// write does not.
std::string GetIniTextForMachine(std::string_view machine, std::string_view section,
                                 std::string_view key);
std::string GetIniTextGlobal(std::string_view section, std::string_view key);
std::string SetIniTextForMachine(std::string_view machine, std::string_view section,
                                 std::string_view key, std::string_view value);
std::string SetIniTextGlobal(std::string_view section, std::string_view key,
                             std::string_view value);

std::string GetAllCallables(std::string_view clientName);
std::string GetStationCallables(std::string_view clientName);
std::string GetAllMachines(std::string_view clientName);
std::string GetSmsSettings(std::string_view clientName);
std::string PostSmsSettings(std::string_view user, std::string_view password,
                            std::string_view customerNo);

// A resource as it travels in REGISTERUPATECALLABLE.
struct CallableUpdate {
  int lopnr = -1;
  std::string name;
  std::string friendlyName;
  int colour = 0;
  bool sendSms = false;
  std::string mobile;
  bool active = false;
};
// Single record: "¤REGISTERUPATECALLABLE:" + 7 fields + ":%¤:REGISTERUPATECALLABLE¤"
std::string RegisterUpdateCallable(const CallableUpdate& c);
// Several records, each followed by ":%¤:", then ":REGISTERUPATECALLABLE¤"
// (one ':' more than the single form). Empty string when `records` is empty:
// nothing is to be sent.
std::string RegisterUpdateCallables(const std::vector<CallableUpdate>& records);
// "¤REGISTERUPATECALLABLE:" + lopnr + ":¤DELETE_ME¤:" + friendly + ":" + colour + ":%¤:REGISTERUPATECALLABLE¤"
std::string RegisterDeleteCallable(int lopnr, std::string_view friendlyName, int colour);

// A client as it travels in REGISTERUPATEMACHINE.
struct MachineUpdate {
  std::string name;
  int machineType = 0;
  std::string friendlyName;
  int color = 0;
  std::string imei;
  std::string extraText;
  int lopnr = -1;
};
// "¤REGISTERUPATEMACHINE:" + 7 fields + "::REGISTERUPATEMACHINE¤"
std::string RegisterUpdateMachine(const MachineUpdate& m);
// "¤REGISTERUPATEMACHINE:" + name + ":" + type + ":¤DELETE_ME¤:" + color + ":REGISTERUPATEMACHINE¤"
std::string RegisterDeleteMachine(std::string_view name, int machineType, int color);

// "¤POSTCALLABLESLIST:" + client + ":" + type + ":" + machineLopnr + ":" +
// { callableLopnr ":" position ":" } + "POSTCALLABLESLIST¤"
std::string PostCallablesList(std::string_view clientName, int clientType, int machineLopnr,
                              const std::vector<int>& chosenCallableLopnrs);

// "#DATASTART#¤OPENSQL:" + client + ":" + sql + ":OPENSQL¤#DATAEND#"
std::string OpenSql(std::string_view clientName, std::string_view sql);
// "#DATASTART#¤EXECSQL$" + client + "$" + sql + "$EXECSQL¤#DATAEND#"
std::string ExecSql(std::string_view clientName, std::string_view sql);

// Update connection: "¤GETNEWCLIENT:" + file + ":" + client + ":" + type + ":GETNEWCLIENT¤"
std::string GetNewClient(std::string_view programFileName, std::string_view clientName,
                         int clientType);

}  // namespace davu::proto
