#include "common/Records.h"

#include "common/WireText.h"
#include "protocol/RegisterLists.h"
#include "protocol/TextRules.h"

QString ClientTypeText(int type) {
  switch (type) {
    case ctCall: return QStringLiteral("Call");
    case ctShow: return QStringLiteral("Show");
    case ctAdmin: return QStringLiteral("Admin");
    case ctHardware: return QStringLiteral("Hardware");
    default: return QString::number(type);
  }
}

namespace davu {

QString CallableItemText(const TCallable& c) {
  QString status;
  if (c.CallableSendSMS) status = QStringLiteral(" - SMS skickas till ") + c.CallableMobilnummer;
  if (!c.Aktiv) status.prepend(QStringLiteral(" (inaktiv)"));
  return c.CallableName + QStringLiteral(", ") + c.CallableFriendlyname + status;
}

QString MachineItemText(const TMachine& m) {
  return m.Name + QStringLiteral(", ") + m.FriendlyName + QStringLiteral(": ") +
         ClientTypeText(m.MachineType);
}

davu::proto::CallableUpdate ToCallableUpdate(const TCallable& c) {
  return {c.CallableLopnr,    ToWire(c.CallableName), ToWire(c.CallableFriendlyname),
          c.CallableColour,   c.CallableSendSMS,      ToWire(c.CallableMobilnummer),
          c.Aktiv};
}

std::int32_t IntFromText(std::string_view text) { return davu::proto::WholeNumberOr0(text); }

bool BoolFromText(const QString& text, bool def) {
  // Only Latin-1 texts can be numbers or "True"/"False".
  return davu::proto::TruthOf(text.toLatin1().toStdString(), def);
}

// The records are read by davu_protocol; the texts become QStrings here.
std::vector<CallablePtr> DecodeCallableList(std::string_view payload) {
  davu::proto::ListReader r(payload, ':', davu::proto::ListReader::kCallableWidth);
  std::vector<CallablePtr> out;
  out.reserve(r.capacity());
  while (r.next()) {
    const davu::proto::CallableView v = r.callable();
    auto c = std::make_shared<TCallable>();
    c->CallableName = FromWire(v.name);
    c->CallableLopnr = static_cast<std::int32_t>(v.lopnr);
    c->CallableFriendlyname = FromWire(v.fullName);
    c->CallableColour = static_cast<std::int32_t>(v.colour);
    c->CallableSendSMS = v.sendSms;
    c->CallableMobilnummer = FromWire(v.mobile);
    c->Aktiv = v.active;
    c->Updated = false;
    out.push_back(std::move(c));
  }
  return out;
}

std::vector<MachinePtr> DecodeMachineList(std::string_view payload) {
  davu::proto::ListReader r(payload, ':', davu::proto::ListReader::kMachineWidth);
  std::vector<MachinePtr> out;
  out.reserve(r.capacity());
  while (r.next()) {
    const davu::proto::MachineView v = r.machine();
    auto m = std::make_shared<TMachine>();
    m->Name = FromWire(v.name);
    m->Lopnr = static_cast<std::int32_t>(v.lopnr);
    m->FriendlyName = FromWire(v.friendlyName);
    m->Color = static_cast<std::int32_t>(v.color);
    m->MachineType = static_cast<int>(v.machineType);
    m->Connected = v.connected;
    m->IMEINumber = FromWire(v.imei);
    m->ExtraText = FromWire(v.extraText);
    out.push_back(std::move(m));
  }
  return out;
}

std::vector<std::int32_t> DecodeStationCallableNumbers(std::string_view payload) {
  return davu::proto::DecodeStationCallables(payload);
}

std::vector<std::int32_t> DecodeCallListNumbers(std::string_view payload) {
  davu::proto::ListReader r(payload, '~', davu::proto::ListReader::kCallListWidth);
  std::vector<std::int32_t> out;
  out.reserve(r.capacity());
  while (r.next()) out.push_back(r.number(1));
  return out;
}

}  // namespace davu
