#pragma once
// The register's lists as the server sends them and the client reads them:
// RETALLCALLABLES, RETALLMACHINES, RETSTATIONCALLABLES, RETCALLLIST and
// RETSMSSETTINGS. Plain records, texts in wire bytes.
//
//   list    := "¤" TAG SEP { record } [ "" SEP ] TAG "¤"
//   record  := field SEP ... (a fixed number of fields per record)
//
// Records follow one another with no separator of their own. A reader's list
// ends at the first record whose first field is empty, so an empty list is
// sent as one empty field ("¤TAG::TAG¤"). Decoders take the payload as the
// dispatcher cuts it ("¤TAG:" ... ":"), trim every field of codes 0..32 and
// read numbers as WholeNumberOr0; truth values as TruthOf. Encoders replace
// in a text what would cut its field (NeutralText: the separator by ';' or
// '-', "¤" by '?', frame markers). All of it is linear in the payload.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace davu::proto {

// The records come as views into a payload (Text = std::string_view), which
// is what a reader that converts the texts at once wants, and as copies
// (Text = std::string).

// A resource: RETALLCALLABLES sends seven fields (name, number, full name,
// colour, SMS, mobile, active).
template <class Text>
struct CallableOf {
  Text name;
  std::int64_t lopnr = 0;
  Text fullName;
  std::int64_t colour = 0;
  bool sendSms = false;
  Text mobile;
  bool active = false;
  bool operator==(const CallableOf&) const = default;
};

// A client: RETALLMACHINES sends eight fields (name, number, friendly name,
// colour, type, connected, IMEI, extra text).
template <class Text>
struct MachineOf {
  Text name;
  std::int64_t lopnr = 0;
  Text friendlyName;
  std::int64_t color = 0;
  std::int64_t machineType = 0;
  bool connected = false;
  Text imei;
  Text extraText;
  bool operator==(const MachineOf&) const = default;
};

// One resource of a client's call list: RETCALLLIST sends ten fields, '~'
// separated (the resource's seven, its position, the client's number and
// name).
template <class Text>
struct CallListEntryOf {
  CallableOf<Text> callable;
  std::int64_t position = 0;
  std::int64_t stationLopnr = 0;
  Text stationName;
  bool operator==(const CallListEntryOf&) const = default;
};

using CallableRecord = CallableOf<std::string>;
using CallableView = CallableOf<std::string_view>;
using MachineRecord = MachineOf<std::string>;
using MachineView = MachineOf<std::string_view>;
using CallListEntry = CallListEntryOf<std::string>;
using CallListEntryView = CallListEntryOf<std::string_view>;

// The SMS account: RETSMSSETTINGS sends three fields.
struct SmsAccountRecord {
  std::string userName;
  std::string password;
  std::string customerNo;
  bool operator==(const SmsAccountRecord&) const = default;
};

std::string EncodeAllCallables(const std::vector<CallableRecord>& records);
std::vector<CallableView> ReadAllCallables(std::string_view payload);
std::vector<CallableRecord> DecodeAllCallables(std::string_view payload);

std::string EncodeAllMachines(const std::vector<MachineRecord>& records);
std::vector<MachineView> ReadAllMachines(std::string_view payload);
std::vector<MachineRecord> DecodeAllMachines(std::string_view payload);

// A client's chosen resources in order: pairs of number and position.
std::string EncodeStationCallables(const std::vector<std::int64_t>& lopnrs);
std::vector<std::int32_t> DecodeStationCallables(std::string_view payload);

std::string EncodeCallList(const std::vector<CallListEntry>& entries);
std::vector<CallListEntryView> ReadCallList(std::string_view payload);
std::vector<CallListEntry> DecodeCallList(std::string_view payload);

std::string EncodeSmsSettings(const SmsAccountRecord& account);
SmsAccountRecord DecodeSmsSettings(std::string_view payload);

}  // namespace davu::proto
