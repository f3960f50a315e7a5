#include "RegisterLists.h"

#include "Envelope.h"
#include "NeutralText.h"
#include "TextRules.h"
#include "TextUtil.h"

namespace davu::proto {
namespace {

constexpr std::size_t kCallableFields = 7;
constexpr std::size_t kMachineFields = 8;
constexpr std::size_t kCallListFields = 10;

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

// Reads the records of a list, `width` fields each from field 1, up to the
// first record whose first field is empty.
class ListReader {
 public:
  ListReader(std::string_view payload, char sep, std::size_t width)
      : fields_(payload, sep), width_(width) {}
  std::size_t capacity() const { return fields_.size() / width_; }
  bool next() {
    if (started_) base_ += width_;
    started_ = true;
    return !fields_.field(base_).empty();
  }
  std::string_view text(std::size_t i) const { return fields_.field(base_ + i); }
  std::int32_t number(std::size_t i) const { return WholeNumberOr0(text(i)); }
  bool flag(std::size_t i) const { return TruthOf(text(i), false); }
  bool active(std::size_t i) const { return text(i) != kInactiveText; }
  CallableView callable() const {
    return {text(0), number(1), text(2), number(3), flag(4), text(5), active(6)};
  }

 private:
  FieldList fields_;
  std::size_t width_;
  std::size_t base_ = 1;
  bool started_ = false;
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

std::string EncodeAllCallables(const std::vector<CallableRecord>& records) {
  ListWriter w(':');
  for (const CallableRecord& c : records) w.callable(c);
  return w.message("RETALLCALLABLES");
}

std::vector<CallableView> ReadAllCallables(std::string_view payload) {
  ListReader r(payload, ':', kCallableFields);
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
  ListReader r(payload, ':', kMachineFields);
  std::vector<MachineView> out;
  out.reserve(r.capacity());
  while (r.next())
    out.push_back({r.text(0), r.number(1), r.text(2), r.number(3), r.number(4), r.flag(5),
                   r.text(6), r.text(7)});
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
  ListReader r(payload, '~', kCallListFields);
  std::vector<CallListEntryView> out;
  out.reserve(r.capacity());
  while (r.next()) out.push_back({r.callable(), r.number(7), r.number(8), r.text(9)});
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
