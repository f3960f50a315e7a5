#include "RegisterChanges.h"

#include <algorithm>
#include <array>

#include "ServerText.h"
#include "protocol/RegisterLists.h"
#include "protocol/RegisterUpdates.h"
#include "protocol/TextUtil.h"

namespace davu::server {

namespace {

using davu::proto::FieldList;
using davu::proto::TrimControl;

std::int64_t RequireInt(std::string_view s, const char* what) {
  if (const auto v = davu::proto::ParseWholeNumber(s)) return *v;
  throw Refusal(std::string(what) + " \"" + WireToUtf8(TrimControl(s)) + "\" är inte ett heltal.");
}

constexpr std::array<std::string_view, 5> kChangeTags = {
    "SETINITEXT", "POSTSMSSETTINGS", "REGISTERUPATECALLABLE", "REGISTERUPATEMACHINE", "POSTCALLABLESLIST"};

}  // namespace

bool RegisterChanges::isChange(std::string_view tag) {
  return std::find(kChangeTags.begin(), kChangeTags.end(), tag) != kChangeTags.end();
}

std::optional<std::string> RegisterChanges::apply(std::string_view tag, char sep, std::string_view body) {
  try {
    make(tag, sep, body);
    return std::nullopt;
  } catch (const Refusal& e) {
    return e.what();
  } catch (const RegisterError& e) {
    return e.what();
  } catch (const DbError& e) {
    if (e.busy())
      return "ändringen sparades inte: databasen är upptagen av en annan skrivning. Försök igen om en stund.";
    return std::string("databasfel på servern: ") + e.what() + ". Försök igen.";
  }
}

void RegisterChanges::make(std::string_view tag, char sep, std::string_view body) {
  // All or nothing: a part that fails undoes the parts before it.
  Transaction whole(db_);
  if (tag == "SETINITEXT") {
    setting(body, sep);
  } else if (tag == "POSTSMSSETTINGS") {
    const FieldList f(body, sep);
    if (f.size() > 3)
      throw Refusal("SMS-inställningarna sparades inte: kolon (:) kan inte användas i "
                    "användarnamn, lösenord eller kundnummer.");
    store_.setSmsAccount({WireToUtf8(f.field(0)), WireToUtf8(f.field(1)), WireToUtf8(f.field(2))});
  } else if (tag == "REGISTERUPATECALLABLE") {
    callables(body);
  } else if (tag == "REGISTERUPATEMACHINE") {
    machine(body);
  } else if (tag == "POSTCALLABLESLIST") {
    callablesList(body);
  }
  whole.commit();
}

void RegisterChanges::setting(std::string_view body, char sep) {
  const FieldList f(body, sep);
  std::string_view address = f.field(0);
  if (!address.empty() && address.front() == '\\') address.remove_prefix(1);
  std::string_view key = f.field(1);
  if (address.empty() || key.empty() || f.size() < 3)
    throw Refusal("inställningen sparades inte: sektion och nyckel måste anges.");
  // The value is everything after the key; a ":" in it is kept.
  std::size_t valueStart = static_cast<std::size_t>(f.raw(2).data() - body.data());
  store_.setSetting(WireToUtf8(address), WireToUtf8(key), WireToUtf8(TrimControl(body.substr(valueStart))));
}

void RegisterChanges::callables(std::string_view body) {
  std::vector<Callable> saves;
  std::vector<std::int64_t> deletes;
  for (const davu::proto::CallableUpdateFields& r : davu::proto::ReadCallableUpdates(body)) {
    const auto& f = r.fields;
    if (r.deletion) {
      deletes.push_back(RequireInt(f[0], "Resursnumret"));
      continue;
    }
    if (f.size() != 7)
      throw Refusal("resursen sparades inte: posten har " + std::to_string(f.size()) +
                    " fält i stället för 7. Kolon (:) kan inte användas i namn eller nummer.");
    Callable c;
    c.lopnr = RequireInt(f[0], "Resursnumret");
    c.name = WireToUtf8(TrimControl(f[1]));
    c.fullName = WireToUtf8(TrimControl(f[2]));
    c.colour = RequireInt(f[3], "Färgen");
    c.sendSms = davu::proto::WholeNumberTruthOf(f[4]);
    c.mobile = WireToUtf8(TrimControl(f[5]));
    c.active = TrimControl(f[6]) != davu::proto::kInactiveText;
    if (c.name.empty()) throw Refusal("resursen sparades inte: namn får ej vara tomt.");
    if (c.lopnr < -1) throw Refusal("resursen sparades inte: ogiltigt resursnummer.");
    saves.push_back(std::move(c));
  }
  if (!saves.empty()) store_.saveCallables(saves);
  for (std::int64_t lopnr : deletes) store_.deleteCallable(lopnr);
}

void RegisterChanges::machine(std::string_view body) {
  const davu::proto::MachineUpdateFields r = davu::proto::ReadMachineUpdate(body);
  const auto& f = r.fields;
  if (r.deleteAt != std::string_view::npos) {
    // The client is known by its name.
    if (r.deleteAt < 2) throw Refusal("klienten togs inte bort: namnet saknas.");
    store_.deleteStation(WireToUtf8(TrimControl(r.deletedName)));
    return;
  }
  if (f.size() != 7)
    throw Refusal("klienten sparades inte: posten har " + std::to_string(f.size()) +
                  " fält i stället för 7. Kolon (:) kan inte användas i namn eller plats.");
  Station st;
  st.name = WireToUtf8(TrimControl(f[0]));
  std::int64_t type = RequireInt(f[1], "Klienttypen");
  if (type < 0 || type > 3)
    throw Refusal("klienten sparades inte: okänd klienttyp " + std::to_string(type) + ".");
  st.clientType = static_cast<int>(type);
  st.friendlyName = WireToUtf8(TrimControl(f[2]));
  st.color = RequireInt(f[3], "Färgen");
  st.imei = WireToUtf8(TrimControl(f[4]));
  st.extraText = WireToUtf8(TrimControl(f[5]));
  st.lopnr = RequireInt(f[6], "Klientnumret");
  if (st.name.empty()) throw Refusal("klienten sparades inte: namn får ej vara tomt.");
  if (st.lopnr < -1) throw Refusal("klienten sparades inte: ogiltigt klientnummer.");
  store_.saveStation(st);
}

void RegisterChanges::callablesList(std::string_view body) {
  const davu::proto::CallablesListPost post = davu::proto::ReadCallablesListPost(body);
  std::int64_t station = RequireInt(post.stationLopnr, "Klientnumret");
  std::vector<std::pair<std::int64_t, std::int64_t>> chosen;
  for (const auto& [number, position] : post.chosen) {
    if (number.empty()) continue;
    std::int64_t lopnr = RequireInt(number, "Resursnumret");
    std::int64_t pos = static_cast<std::int64_t>(chosen.size());
    if (position) pos = davu::proto::ParseWholeNumber(*position).value_or(pos);
    chosen.emplace_back(pos, lopnr);
  }
  std::stable_sort(chosen.begin(), chosen.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::int64_t> lopnrs;
  for (const auto& [pos, lopnr] : chosen) lopnrs.push_back(lopnr);
  store_.setStationCallables(station, lopnrs);
}

}  // namespace davu::server
