#pragma once
// Every request the administration client sends, byte for byte. Arguments are
// wire bytes (Windows-1252): callers encode user text before passing it.
// Tags are spelled as the servers expect them, REGISTERUPATE... included.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/RegisterUpdates.h"

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

// The register's changes (REGISTERUPATECALLABLE, REGISTERUPATEMACHINE,
// POSTCALLABLESLIST) are in RegisterUpdates.h, next to their readers.

// "#DATASTART#¤OPENSQL:" + client + ":" + sql + ":OPENSQL¤#DATAEND#"
std::string OpenSql(std::string_view clientName, std::string_view sql);
// "#DATASTART#¤EXECSQL$" + client + "$" + sql + "$EXECSQL¤#DATAEND#"
std::string ExecSql(std::string_view clientName, std::string_view sql);

// Update connection: "¤GETNEWCLIENT:" + file + ":" + client + ":" + type + ":GETNEWCLIENT¤"
std::string GetNewClient(std::string_view programFileName, std::string_view clientName,
                         int clientType);

}  // namespace davu::proto
