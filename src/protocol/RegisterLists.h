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

#include "protocol/TextUtil.h"

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

// Walks the records of a list payload, `width` fields each from field 1,
// up to the first record whose first field is empty; the getters read the
// current record as views into the payload. For a reader that converts the
// texts at once, without a list of records in between.
class ListReader {
 public:
  static constexpr std::size_t kCallableWidth = 7;
  static constexpr std::size_t kMachineWidth = 8;
  static constexpr std::size_t kCallListWidth = 10;

  ListReader(std::string_view payload, char sep, std::size_t width);
  // At most this many records follow.
  std::size_t capacity() const { return fields_.size() / width_; }
  // Moves to the next record; false at the end of the list.
  bool next();

  std::string_view text(std::size_t i) const { return fields_.field(base_ + i); }
  std::int32_t number(std::size_t i) const;
  bool flag(std::size_t i) const;
  bool active(std::size_t i) const;
  CallableView callable() const;
  MachineView machine() const;
  CallListEntryView callListEntry() const;

 private:
  FieldList fields_;
  std::size_t width_;
  std::size_t base_ = 1;
  bool started_ = false;
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
