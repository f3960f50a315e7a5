#include "server/RegisterChanges.h"

#include <variant>

#include "protocol/Requests.h"
#include "server/RequestFields.h"

namespace davu::server {

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
  using davu::proto::Request;
  const auto kind = davu::proto::FindRequest(tag, sep);
  if (!kind || !davu::proto::IsChangeRequest(*kind)) return;
  // All or nothing: a part that fails undoes the parts before it. Every
  // field is read before anything is written.
  Transaction whole(db_);
  switch (*kind) {
    case Request::SetIniText: {
      const SettingChange c = DecodeSettingChange(body, sep);
      store_.setSetting(c.address, c.key, c.value);
      break;
    }
    case Request::PostSmsSettings:
      store_.setSmsAccount(DecodeSmsChange(body, sep));
      break;
    case Request::RegisterUpdateCallable: {
      const CallableChanges c = DecodeCallableChanges(body);
      if (!c.saves.empty()) store_.saveCallables(c.saves);
      for (std::int64_t lopnr : c.deletes) store_.deleteCallable(lopnr);
      break;
    }
    case Request::RegisterUpdateMachine: {
      const MachineChange c = DecodeMachineChange(body);
      if (const auto* gone = std::get_if<StationDeletion>(&c))
        store_.deleteStation(gone->name);
      else
        store_.saveStation(std::get<Station>(c));
      break;
    }
    case Request::PostCallablesList: {
      const ChosenCallables c = DecodeChosenCallables(body);
      store_.setStationCallables(c.station, c.lopnrs);
      break;
    }
    default:
      break;
  }
  whole.commit();
}

}  // namespace davu::server
