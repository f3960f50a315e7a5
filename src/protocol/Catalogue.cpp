#include "Catalogue.h"

#include "Envelope.h"

namespace davu::proto {
namespace {

constexpr std::string_view kDeleteMe = "\xA4" "DELETE_ME" "\xA4";  // "¤DELETE_ME¤"
constexpr std::string_view kRecordEnd = "%\xA4:";                 // "%¤:"
constexpr std::string_view kCallableTag = "REGISTERUPATECALLABLE";
constexpr std::string_view kMachineTag = "REGISTERUPATEMACHINE";

std::string Num(int v) { return std::to_string(v); }

// The seven fields of a resource update record, each followed by ':', then the
// record end "%¤:".
void AppendCallableRecord(std::string& out, const CallableUpdate& c) {
  out += Num(c.lopnr);
  out += ':';
  out += c.name;
  out += ':';
  out += c.friendlyName;
  out += ':';
  out += Num(c.colour);
  out += ':';
  out += c.sendSms ? "-1" : "0";
  out += ':';
  out += c.mobile;
  out += ':';
  out += c.active ? 'T' : 'F';
  out += ':';
  out += kRecordEnd;
}

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

std::string RegisterUpdateCallable(const CallableUpdate& c) {
  // The record end is followed directly by the tag: ":%¤:REGISTERUPATECALLABLE¤".
  std::string out = OpeningMarker(kCallableTag);
  AppendCallableRecord(out, c);
  out += kCallableTag;
  out += kCurrency;
  return out;
}

std::string RegisterUpdateCallables(const std::vector<CallableUpdate>& records) {
  if (records.empty()) return {};
  // Each record ends in ":%¤:" and the closing marker adds its own ':', so a
  // list ends in ":%¤::REGISTERUPATECALLABLE¤"; servers expect exactly that.
  std::string out = OpeningMarker(kCallableTag);
  for (const CallableUpdate& c : records) AppendCallableRecord(out, c);
  out += ClosingMarker(kCallableTag);
  return out;
}

std::string RegisterDeleteCallable(int lopnr, std::string_view friendlyName, int colour) {
  std::string out = OpeningMarker(kCallableTag);
  out += Num(lopnr);
  out += ':';
  out += kDeleteMe;
  out += ':';
  out += friendlyName;
  out += ':';
  out += Num(colour);
  out += ':';
  out += kRecordEnd;
  out += kCallableTag;
  out += kCurrency;
  return out;
}

std::string RegisterUpdateMachine(const MachineUpdate& m) {
  // Field 8 is empty, hence "::" in front of the closing tag.
  return BuildMessage(kMachineTag, ':',
                      {m.name, Num(m.machineType), m.friendlyName, Num(m.color), m.imei,
                       m.extraText, Num(m.lopnr), ""});
}

std::string RegisterDeleteMachine(std::string_view name, int machineType, int color) {
  return BuildMessage(kMachineTag, ':', {name, Num(machineType), kDeleteMe, Num(color)});
}

std::string PostCallablesList(std::string_view clientName, int clientType, int machineLopnr,
                              const std::vector<int>& chosenCallableLopnrs) {
  std::string out = OpeningMarker("POSTCALLABLESLIST");
  out += clientName;
  out += ':';
  out += Num(clientType);
  out += ':';
  out += Num(machineLopnr);
  out += ':';
  int position = 0;
  for (int lopnr : chosenCallableLopnrs) {
    out += Num(lopnr);
    out += ':';
    out += Num(position++);
    out += ':';
  }
  out += "POSTCALLABLESLIST";
  out += kCurrency;
  return out;
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
