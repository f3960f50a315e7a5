#pragma once
// The register's changes as the client sends them and the server reads
// them, writers next to readers. Texts are wire bytes; the writers send them
// as they are (the client refuses a text that would cut a field before it
// gets here), the readers hand out views into the body they read.
//
//   REGISTERUPATECALLABLE := "¤REGISTERUPATECALLABLE:" { record ":%¤:" } [":"] "REGISTERUPATECALLABLE¤"
//     record   := number ":" name ":" full name ":" colour ":" sms ":" mobile ":" active
//     deletion := number ":" kDeleteMark ":" full name ":" colour
//   REGISTERUPATEMACHINE  := "¤REGISTERUPATEMACHINE:" name ":" type ":" friendly ":" colour ":"
//                            imei ":" extra ":" number "::REGISTERUPATEMACHINE¤"
//     deletion := name ":" type ":" kDeleteMark ":" colour
//   POSTCALLABLESLIST     := client ":" type ":" client number ":" { number ":" position ":" }
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace davu::proto {

// Stands in place of a name in a deletion: "¤DELETE_ME¤".
inline constexpr std::string_view kDeleteMark{"\xA4" "DELETE_ME" "\xA4", 11};
// Ends each record of REGISTERUPATECALLABLE: "%¤".
inline constexpr std::string_view kRecordEnd{"%\xA4", 2};

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

// A record of a REGISTERUPATECALLABLE body: its fields, untrimmed. A
// deletion has the delete mark as its second field.
struct CallableUpdateFields {
  bool deletion = false;
  std::vector<std::string_view> fields;
};
// The records of a body (between the message's separators), blank ones left
// out.
std::vector<CallableUpdateFields> ReadCallableUpdates(std::string_view body);

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

// A REGISTERUPATEMACHINE body: its fields, untrimmed, without the empty
// eighth field of a save. A deletion names the client by everything in
// front of ":" type ":" kDeleteMark, so a name may hold ':'.
struct MachineUpdateFields {
  std::vector<std::string_view> fields;
  std::size_t deleteAt = std::string_view::npos;  // the field with the delete mark
  std::string_view deletedName;                     // untrimmed; empty when deleteAt < 2
};
MachineUpdateFields ReadMachineUpdate(std::string_view body);

// "¤POSTCALLABLESLIST:" + client + ":" + type + ":" + machineLopnr + ":" +
// { callableLopnr ":" position ":" } + "POSTCALLABLESLIST¤"
std::string PostCallablesList(std::string_view clientName, int clientType, int machineLopnr,
                              const std::vector<int>& chosenCallableLopnrs);

// A POSTCALLABLESLIST body, fields trimmed. Each chosen resource is its
// number and, when the body has a field for it, its position.
struct CallablesListPost {
  std::string_view clientName;
  std::string_view clientType;
  std::string_view stationLopnr;
  std::vector<std::pair<std::string_view, std::optional<std::string_view>>> chosen;
};
CallablesListPost ReadCallablesListPost(std::string_view body);

}  // namespace davu::proto
