#include "protocol/RegisterUpdates.h"

#include "protocol/Envelope.h"
#include "protocol/TextUtil.h"

namespace davu::proto {
namespace {

constexpr std::string_view kCallableTag = "REGISTERUPATECALLABLE";
constexpr std::string_view kMachineTag = "REGISTERUPATEMACHINE";

std::string Num(int v) { return std::to_string(v); }

// The seven fields of a resource update record, each followed by ':', then the
// record end and its ':'.
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
  out += ':';
}

std::vector<std::string_view> RawFields(std::string_view text) {
  const FieldList f(text, ':');
  std::vector<std::string_view> out;
  out.reserve(f.size());
  for (std::size_t i = 0; i < f.size(); ++i) out.push_back(f.raw(i));
  return out;
}

}  // namespace

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
  out += kDeleteMark;
  out += ':';
  out += friendlyName;
  out += ':';
  out += Num(colour);
  out += ':';
  out += kRecordEnd;
  out += ':';
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
  return BuildMessage(kMachineTag, ':', {name, Num(machineType), kDeleteMark, Num(color)});
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

std::vector<CallableUpdateFields> ReadCallableUpdates(std::string_view body) {
  // Each record has one ':' on either side of its end.
  std::vector<CallableUpdateFields> out;
  std::size_t start = 0;
  while (start <= body.size()) {
    const std::size_t end = body.find(kRecordEnd, start);
    std::string_view rec = body.substr(start, end == std::string_view::npos ? body.npos : end - start);
    start = end == std::string_view::npos ? body.size() + 1 : end + kRecordEnd.size();
    if (!rec.empty() && rec.front() == ':') rec.remove_prefix(1);
    if (!rec.empty() && rec.back() == ':') rec.remove_suffix(1);
    if (TrimControl(rec).empty()) continue;
    CallableUpdateFields r{false, RawFields(rec)};
    r.deletion = r.fields.size() >= 2 && TrimControl(r.fields[1]) == kDeleteMark;
    out.push_back(std::move(r));
  }
  return out;
}

MachineUpdateFields ReadMachineUpdate(std::string_view body) {
  MachineUpdateFields r;
  r.fields = RawFields(body);
  for (std::size_t i = 0; i < r.fields.size(); ++i) {
    if (TrimControl(r.fields[i]) != kDeleteMark) continue;
    r.deleteAt = i;
    if (i >= 2) {
      // The type's field starts one past the ':' that ends the name.
      const auto typeAt = static_cast<std::size_t>(r.fields[i - 1].data() - body.data());
      r.deletedName = body.substr(0, typeAt - 1);
    }
    return r;
  }
  if (r.fields.size() == 8 && TrimControl(r.fields[7]).empty()) r.fields.pop_back();
  return r;
}

CallablesListPost ReadCallablesListPost(std::string_view body) {
  const FieldList f(body, ':');
  CallablesListPost post{f.field(0), f.field(1), f.field(2), {}};
  for (std::size_t i = 3; i < f.size(); i += 2) {
    std::optional<std::string_view> position;
    if (i + 1 < f.size()) position = f.field(i + 1);
    post.chosen.emplace_back(f.field(i), position);
  }
  return post;
}

}  // namespace davu::proto
