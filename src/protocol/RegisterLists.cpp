#include "protocol/RegisterLists.h"

#include "protocol/Envelope.h"
#include "protocol/NeutralText.h"
#include "protocol/TextRules.h"
#include "protocol/TextUtil.h"

namespace davu::proto {
namespace {

// Builds the fields of one list reply.
class ListWriter {
 public:
  explicit ListWriter(char sep) : sep_(sep) {}
  void text(std::string_view wire) {
    fields_.push_back(FieldText(wire, sep_));
  }
  void number(std::int64_t v) { fields_.push_back(std::to_string(v)); }
  void flag(bool v) { fields_.emplace_back(v ? kTrueNumber : kFalseNumber); }
  void active(bool v) { fields_.emplace_back(v ? kActiveText : kInactiveText); }
  void callable(const CallableRecord& c) {
    text(c.name);
    number(c.lopnr);
    text(c.fullName);
    number(c.colour);
    flag(c.sendSms);
    text(c.mobile);
    active(c.active);
  }
  std::string message(std::string_view tag) {
    if (fields_.empty()) fields_.emplace_back();  // the empty list's end
    return BuildMessage(tag, sep_, fields_);
  }

 private:
  char sep_;
  std::vector<std::string> fields_;
};

std::string Copy(std::string_view v) { return std::string(v); }

CallableRecord Copy(const CallableView& c) {
  return {Copy(c.name), c.lopnr, Copy(c.fullName), c.colour, c.sendSms, Copy(c.mobile), c.active};
}

MachineRecord Copy(const MachineView& m) {
  return {Copy(m.name), m.lopnr,       Copy(m.friendlyName), m.color,
          m.machineType, m.connected, Copy(m.imei),         Copy(m.extraText)};
}

CallListEntry Copy(const CallListEntryView& e) {
  return {Copy(e.callable), e.position, e.stationLopnr, Copy(e.stationName)};
}

template <class Record, class View>
std::vector<Record> CopyAll(const std::vector<View>& views) {
  std::vector<Record> out;
  out.reserve(views.size());
  for (const View& v : views) out.push_back(Copy(v));
  return out;
}

}  // namespace

ListReader::ListReader(std::string_view payload, char sep, std::size_t width)
    : fields_(payload, sep), width_(width) {}

bool ListReader::next() {
  if (started_) base_ += width_;
  started_ = true;
  return !fields_.field(base_).empty();
}

std::int32_t ListReader::number(std::size_t i) const { return WholeNumberOr0(text(i)); }
bool ListReader::flag(std::size_t i) const { return TruthOf(text(i), false); }
bool ListReader::active(std::size_t i) const { return text(i) != kInactiveText; }

CallableView ListReader::callable() const {
  return {text(0), number(1), text(2), number(3), flag(4), text(5), active(6)};
}

MachineView ListReader::machine() const {
  return {text(0), number(1), text(2), number(3), number(4), flag(5), text(6), text(7)};
}

CallListEntryView ListReader::callListEntry() const {
  return {callable(), number(7), number(8), text(9)};
}

std::string EncodeAllCallables(const std::vector<CallableRecord>& records) {
  ListWriter w(':');
  for (const CallableRecord& c : records) w.callable(c);
  return w.message("RETALLCALLABLES");
}

std::vector<CallableView> ReadAllCallables(std::string_view payload) {
  ListReader r(payload, ':', ListReader::kCallableWidth);
  std::vector<CallableView> out;
  out.reserve(r.capacity());
  while (r.next()) out.push_back(r.callable());
  return out;
}

std::vector<CallableRecord> DecodeAllCallables(std::string_view payload) {
  return CopyAll<CallableRecord>(ReadAllCallables(payload));
}

std::string EncodeAllMachines(const std::vector<MachineRecord>& records) {
  ListWriter w(':');
  for (const MachineRecord& m : records) {
    w.text(m.name);
    w.number(m.lopnr);
    w.text(m.friendlyName);
    w.number(m.color);
    w.number(m.machineType);
    w.flag(m.connected);
    w.text(m.imei);
    w.text(m.extraText);
  }
  return w.message("RETALLMACHINES");
}

std::vector<MachineView> ReadAllMachines(std::string_view payload) {
  ListReader r(payload, ':', ListReader::kMachineWidth);
  std::vector<MachineView> out;
  out.reserve(r.capacity());
  while (r.next()) out.push_back(r.machine());
  return out;
}

std::vector<MachineRecord> DecodeAllMachines(std::string_view payload) {
  return CopyAll<MachineRecord>(ReadAllMachines(payload));
}

std::string EncodeStationCallables(const std::vector<std::int64_t>& lopnrs) {
  ListWriter w(':');
  std::int64_t position = 0;
  for (std::int64_t lopnr : lopnrs) {
    w.number(lopnr);
    w.number(position++);
  }
  return w.message("RETSTATIONCALLABLES");
}

std::vector<std::int32_t> DecodeStationCallables(std::string_view payload) {
  ListReader r(payload, ':', 2);
  std::vector<std::int32_t> out;
  out.reserve(r.capacity());
  while (r.next()) out.push_back(r.number(0));
  return out;
}

std::string EncodeCallList(const std::vector<CallListEntry>& entries) {
  ListWriter w('~');
  for (const CallListEntry& e : entries) {
    w.callable(e.callable);
    w.number(e.position);
    w.number(e.stationLopnr);
    w.text(e.stationName);
  }
  return w.message("RETCALLLIST");
}

std::vector<CallListEntryView> ReadCallList(std::string_view payload) {
  ListReader r(payload, '~', ListReader::kCallListWidth);
  std::vector<CallListEntryView> out;
  out.reserve(r.capacity());
  while (r.next()) out.push_back(r.callListEntry());
  return out;
}

std::vector<CallListEntry> DecodeCallList(std::string_view payload) {
  return CopyAll<CallListEntry>(ReadCallList(payload));
}

std::string EncodeSmsSettings(const SmsAccountRecord& account) {
  ListWriter w(':');
  w.text(account.userName);
  w.text(account.password);
  w.text(account.customerNo);
  return w.message("RETSMSSETTINGS");
}

SmsAccountRecord DecodeSmsSettings(std::string_view payload) {
  const FieldList f(payload, ':');
  return {std::string(f.field(1)), std::string(f.field(2)), std::string(f.field(3))};
}

}  // namespace davu::proto
