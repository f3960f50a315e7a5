// The register's record codecs on arbitrary payloads. The first byte picks
// the list. Oracle: what one decode gives, encoding and decoding again gives
// unchanged, unless a text held what its field cannot carry ("¤", a frame
// marker); the encoding is then stable from the second round on. The update
// readers must hand out views into the body and agree on the fields.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "protocol/Envelope.h"
#include "protocol/MessageScanner.h"
#include "protocol/RegisterLists.h"
#include "protocol/RegisterUpdates.h"

namespace {

using namespace davu::proto;

void Require(bool ok) {
  if (!ok) std::abort();
}

std::string_view Payload(const std::string& message) {
  const MessageAt m = MessageScanner(message).next(0);
  Require(m.state == MessageAt::Complete && m.end == message.size());
  return m.payload(message);
}

bool Carries(std::string_view text) {
  return text.find('\xA4') == text.npos && text.find(kFrameStart) == text.npos &&
         text.find(kFrameEnd) == text.npos;
}

bool Carries(const CallableRecord& c) { return Carries(c.name) && Carries(c.fullName) && Carries(c.mobile); }
bool Carries(const MachineRecord& m) {
  return Carries(m.name) && Carries(m.friendlyName) && Carries(m.imei) && Carries(m.extraText);
}
bool Carries(const CallListEntry& e) { return Carries(e.callable) && Carries(e.stationName); }
bool Carries(const SmsAccountRecord& a) {
  return Carries(a.userName) && Carries(a.password) && Carries(a.customerNo);
}

template <class Records>
bool AllCarried(const Records& records) {
  for (const auto& r : records)
    if (!Carries(r)) return false;
  return true;
}

template <class Records, class Encode, class Decode>
void RoundTrip(std::string_view payload, Encode encode, Decode decode) {
  const Records first = decode(payload);
  const std::string once = encode(first);
  const Records second = decode(Payload(once));
  if (AllCarried(first)) Require(second == first);
  Require(encode(second) == once);
}

bool Within(std::string_view part, std::string_view whole) {
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view payload(reinterpret_cast<const char*>(data) + 1, size - 1);
  switch (data[0] % 7) {
    case 0:
      RoundTrip<std::vector<CallableRecord>>(payload, EncodeAllCallables, DecodeAllCallables);
      break;
    case 1:
      RoundTrip<std::vector<MachineRecord>>(payload, EncodeAllMachines, DecodeAllMachines);
      break;
    case 2:
      RoundTrip<std::vector<CallListEntry>>(payload, EncodeCallList, DecodeCallList);
      break;
    case 3: {
      const auto numbers = DecodeStationCallables(payload);
      const std::vector<std::int64_t> wide(numbers.begin(), numbers.end());
      Require(DecodeStationCallables(Payload(EncodeStationCallables(wide))) == numbers);
      break;
    }
    case 4: {
      const SmsAccountRecord first = DecodeSmsSettings(payload);
      const SmsAccountRecord second = DecodeSmsSettings(Payload(EncodeSmsSettings(first)));
      if (Carries(first)) Require(second == first);
      break;
    }
    case 5:
      for (const CallableUpdateFields& r : ReadCallableUpdates(payload)) {
        Require(!r.fields.empty());
        for (std::string_view f : r.fields) Require(Within(f, payload));
      }
      break;
    default: {
      const MachineUpdateFields r = ReadMachineUpdate(payload);
      for (std::string_view f : r.fields) Require(Within(f, payload));
      Require(r.deletedName.empty() || Within(r.deletedName, payload));
      Require(r.deleteAt == std::string_view::npos || r.deleteAt < r.fields.size());
      break;
    }
  }
  return 0;
}
