#pragma once
// The register's records: resources (callables) and clients (machines), the
// client type and the texts that lists show for them, built from the plain
// records davu_protocol reads out of RETALLCALLABLES and RETALLMACHINES.
// Records are shared between the lists that show them.
#include <QString>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "protocol/Catalogue.h"

enum TDAVUClientType : std::uint8_t { ctCall = 0, ctShow = 1, ctAdmin = 2, ctHardware = 3 };

// "Call", "Show", "Admin", "Hardware"; a value outside 0..3 gives its number.
QString ClientTypeText(int type);

struct TCallable {
  std::int32_t CallableLopnr = 0;
  QString CallableName;
  QString CallableFriendlyname;
  std::int32_t CallableColour = 0;
  bool CallableSendSMS = false;
  QString CallableMobilnummer;
  bool Aktiv = false;
  bool Updated = false;
};

struct TMachine {
  std::int32_t Lopnr = 0;
  QString Name;
  QString FriendlyName;
  std::int32_t Color = 0;
  int MachineType = 0;  // a TDAVUClientType value; kept as sent
  bool Connected = false;
  QString IMEINumber;
  QString ExtraText;
};

namespace davu {

using CallablePtr = std::shared_ptr<TCallable>;
using MachinePtr = std::shared_ptr<TMachine>;

// "R1, Rum ett (inaktiv) - SMS skickas till 0701234567"
QString CallableItemText(const TCallable& c);
// "PC12, Reception: Call"
QString MachineItemText(const TMachine& m);

// Payloads as cut by the dispatcher, in wire bytes: "¤RETALLCALLABLES:" ... ":".
std::vector<CallablePtr> DecodeCallableList(std::string_view payload);
std::vector<MachinePtr> DecodeMachineList(std::string_view payload);

// A resource as REGISTERUPATECALLABLE sends it, texts in wire bytes.
davu::proto::CallableUpdate ToCallableUpdate(const TCallable& c);

// The client's truth text (davu::proto::TruthOf): a number other than 0 or
// "True" (any case) is true, 0 or "False" is false, anything else gives `def`.
bool BoolFromText(const QString& text, bool def);
// Lenient decimal (davu::proto::WholeNumberOr0): a text that is not a whole
// number gives 0.
std::int32_t IntFromText(std::string_view text);

// The resource numbers of a client's chosen resources, in order, from the
// payload of RETSTATIONCALLABLES (pairs of number and position, ':') or of
// RETCALLLIST (ten fields a resource, the number second, '~'). Each list ends
// at the first record whose first field is empty; a number that is not a
// number gives 0.
std::vector<std::int32_t> DecodeStationCallableNumbers(std::string_view payload);
std::vector<std::int32_t> DecodeCallListNumbers(std::string_view payload);

}  // namespace davu
