#include "protocol/Catalogue.h"

#include "protocol/Envelope.h"

namespace davu::proto {
namespace {

std::string Num(int v) { return std::to_string(v); }

}  // namespace

std::string GetServerVersion(std::string_view clientName, int clientType) {
  return BuildMessage("GETSERVERVERSION", ':', {clientName, Num(clientType)});
}

std::string GetCallList(std::string_view clientName, std::string_view clientType) {
  return BuildMessage("GETCALLLIST", ':', {clientName, clientType});
}

std::string GetKliniknamn(std::string_view clientName, std::string_view clientType) {
  return BuildMessage("GETKLINIKNAMN", ':', {clientName, clientType});
}

std::string GetIniTextForMachine(std::string_view machine, std::string_view section,
                                 std::string_view key) {
  const std::string address = std::string(machine) + '\\' + std::string(section);
  return BuildMessage("GETINITEXT", ':', {address, key});
}

std::string GetIniTextGlobal(std::string_view section, std::string_view key) {
  const std::string address = '\\' + std::string(section);
  return BuildMessage("GETINITEXT", ':', {address, key});
}

std::string SetIniTextForMachine(std::string_view machine, std::string_view section,
                                 std::string_view key, std::string_view value) {
  const std::string address = std::string(machine) + '\\' + std::string(section);
  return BuildMessage("SETINITEXT", ':', {address, key, value});
}

std::string SetIniTextGlobal(std::string_view section, std::string_view key,
                             std::string_view value) {
  return BuildMessage("SETINITEXT", ':', {section, key, value});
}

std::string GetAllCallables(std::string_view clientName) {
  return BuildMessage("GETALLCALLABLES", ':', {clientName});
}

std::string GetStationCallables(std::string_view clientName) {
  return BuildMessage("GETSTATIONCALLABLES", ':', {clientName});
}

std::string GetAllMachines(std::string_view clientName) {
  return BuildMessage("GETALLMACHINES", ':', {clientName});
}

std::string GetSmsSettings(std::string_view clientName) {
  return BuildMessage("GETSMSSETTINGS", ':', {clientName});
}

std::string PostSmsSettings(std::string_view user, std::string_view password,
                            std::string_view customerNo) {
  return BuildMessage("POSTSMSSETTINGS", ':', {user, password, customerNo});
}

std::string OpenSql(std::string_view clientName, std::string_view sql) {
  return Frame(BuildMessage("OPENSQL", ':', {clientName, sql}));
}

std::string ExecSql(std::string_view clientName, std::string_view sql) {
  return Frame(BuildMessage("EXECSQL", '$', {clientName, sql}));
}

std::string GetNewClient(std::string_view programFileName, std::string_view clientName,
                         int clientType) {
  return BuildMessage("GETNEWCLIENT", ':', {programFileName, clientName, Num(clientType)});
}

}  // namespace davu::proto
