#include "server/RequestFields.h"

#include <algorithm>
#include <utility>

#include "protocol/Catalogue.h"
#include "protocol/RegisterLists.h"
#include "protocol/RegisterUpdates.h"
#include "protocol/TextUtil.h"
#include "server/RegisterChanges.h"
#include "server/ServerText.h"

namespace davu::server {

namespace {

using davu::proto::FieldList;
using davu::proto::TrimControl;

std::int64_t RequireInt(std::string_view s, const char* what) {
  if (const auto v = davu::proto::ParseWholeNumber(s)) return *v;
  throw Refusal(std::string(what) + " \"" + WireToUtf8(TrimControl(s)) + "\" är inte ett heltal.");
}

std::string_view WithoutBackslash(std::string_view address) {
  if (!address.empty() && address.front() == '\\') address.remove_prefix(1);
  return address;
}

std::string Text(std::string_view wire) { return WireToUtf8(TrimControl(wire)); }

}  // namespace

Introduction DecodeIntroduction(std::string_view body, char sep) {
  const FieldList f(body, sep);
  const auto type = davu::proto::ParseWholeNumber(f.field(1));
  return {WireToUtf8(f.field(0)), type ? static_cast<int>(*type) : -1};
}

StationQuery DecodeStationQuery(std::string_view body, char sep) {
  const FieldList f(body, sep);
  return {WireToUtf8(f.field(0)), f.field(0) == davu::proto::kAdminClientName};
}

SettingQuery DecodeSettingQuery(std::string_view body, char sep) {
  const FieldList f(body, sep);
  return {WireToUtf8(WithoutBackslash(f.field(0))), WireToUtf8(f.field(1))};
}

std::string DecodeSqlText(std::string_view body, char sep) {
  const std::size_t cut = body.find(sep);
  return cut == std::string_view::npos ? std::string() : WireToUtf8(body.substr(cut + 1));
}

std::string DecodeFileName(std::string_view body, char sep) {
  return WireToUtf8(FieldList(body, sep).field(0));
}

SettingChange DecodeSettingChange(std::string_view body, char sep) {
  const FieldList f(body, sep);
  const std::string_view address = WithoutBackslash(f.field(0));
  const std::string_view key = f.field(1);
  if (address.empty() || key.empty() || f.size() < 3)
    throw Refusal("inställningen sparades inte: sektion och nyckel måste anges.");
  const std::size_t valueStart = static_cast<std::size_t>(f.raw(2).data() - body.data());
  return {WireToUtf8(address), WireToUtf8(key), Text(body.substr(valueStart))};
}

SmsAccount DecodeSmsChange(std::string_view body, char sep) {
  const FieldList f(body, sep);
  if (f.size() > 3)
    throw Refusal("SMS-inställningarna sparades inte: kolon (:) kan inte användas i "
                  "användarnamn, lösenord eller kundnummer.");
  return {WireToUtf8(f.field(0)), WireToUtf8(f.field(1)), WireToUtf8(f.field(2))};
}

CallableChanges DecodeCallableChanges(std::string_view body) {
  CallableChanges out;
  for (const davu::proto::CallableUpdateFields& r : davu::proto::ReadCallableUpdates(body)) {
    const auto& f = r.fields;
    if (r.deletion) {
      out.deletes.push_back(RequireInt(f[0], "Resursnumret"));
      continue;
    }
    if (f.size() != 7)
      throw Refusal("resursen sparades inte: posten har " + std::to_string(f.size()) +
                    " fält i stället för 7. Kolon (:) kan inte användas i namn eller nummer.");
    Callable c;
    c.lopnr = RequireInt(f[0], "Resursnumret");
    c.name = Text(f[1]);
    c.fullName = Text(f[2]);
    c.colour = RequireInt(f[3], "Färgen");
    c.sendSms = davu::proto::WholeNumberTruthOf(f[4]);
    c.mobile = Text(f[5]);
    c.active = TrimControl(f[6]) != davu::proto::kInactiveText;
    if (c.name.empty()) throw Refusal("resursen sparades inte: namn får ej vara tomt.");
    if (c.lopnr < -1) throw Refusal("resursen sparades inte: ogiltigt resursnummer.");
    out.saves.push_back(std::move(c));
  }
  return out;
}

MachineChange DecodeMachineChange(std::string_view body) {
  const davu::proto::MachineUpdateFields r = davu::proto::ReadMachineUpdate(body);
  const auto& f = r.fields;
  if (r.deleteAt != std::string_view::npos) {
    // The client is known by its name.
    if (r.deleteAt < 2) throw Refusal("klienten togs inte bort: namnet saknas.");
    return StationDeletion{Text(r.deletedName)};
  }
  if (f.size() != 7)
    throw Refusal("klienten sparades inte: posten har " + std::to_string(f.size()) +
                  " fält i stället för 7. Kolon (:) kan inte användas i namn eller plats.");
  Station st;
  st.name = Text(f[0]);
  const std::int64_t type = RequireInt(f[1], "Klienttypen");
  if (type < 0 || type > 3)
    throw Refusal("klienten sparades inte: okänd klienttyp " + std::to_string(type) + ".");
  st.clientType = static_cast<int>(type);
  st.friendlyName = Text(f[2]);
  st.color = RequireInt(f[3], "Färgen");
  st.imei = Text(f[4]);
  st.extraText = Text(f[5]);
  st.lopnr = RequireInt(f[6], "Klientnumret");
  if (st.name.empty()) throw Refusal("klienten sparades inte: namn får ej vara tomt.");
  if (st.lopnr < -1) throw Refusal("klienten sparades inte: ogiltigt klientnummer.");
  return st;
}

ChosenCallables DecodeChosenCallables(std::string_view body) {
  const davu::proto::CallablesListPost post = davu::proto::ReadCallablesListPost(body);
  ChosenCallables out;
  out.station = RequireInt(post.stationLopnr, "Klientnumret");
  std::vector<std::pair<std::int64_t, std::int64_t>> chosen;
  for (const auto& [number, position] : post.chosen) {
    if (number.empty()) continue;
    const std::int64_t lopnr = RequireInt(number, "Resursnumret");
    std::int64_t pos = static_cast<std::int64_t>(chosen.size());
    if (position) pos = davu::proto::ParseWholeNumber(*position).value_or(pos);
    chosen.emplace_back(pos, lopnr);
  }
  std::stable_sort(chosen.begin(), chosen.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [pos, lopnr] : chosen) out.lopnrs.push_back(lopnr);
  return out;
}

}  // namespace davu::server
