#include "Records.h"

#include <charconv>

#include "WireText.h"
#include "protocol/TextUtil.h"

using davu::proto::FieldList;
using davu::proto::TrimControl;

namespace {

// A number in the program's number format: an optional sign, digits, and
// at most one decimal comma ("1,5"); false for anything else. `zero` tells
// whether its value is 0 (also for numbers too long for any type).
bool ParseNumber(std::string_view t, bool& zero) {
  t = TrimControl(t);
  if (!t.empty() && (t.front() == '-' || t.front() == '+')) t.remove_prefix(1);
  zero = true;
  bool digits = false;
  bool comma = false;
  for (char c : t) {
    if (c == ',' && !comma) {
      comma = true;
      continue;
    }
    if (c < '0' || c > '9') return false;
    digits = true;
    if (c != '0') zero = false;
  }
  return digits;
}

bool BoolFromWire(std::string_view field, bool def) {
  bool zero = false;
  if (ParseNumber(field, zero)) return !zero;
  const std::string_view t = TrimControl(field);
  if (davu::proto::FindIgnoreCase(t, "true") == 0 && t.size() == 4) return true;
  if (davu::proto::FindIgnoreCase(t, "false") == 0 && t.size() == 5) return false;
  return def;
}

}  // namespace

QString ClientTypeText(int type) {
  switch (type) {
    case ctCall: return QStringLiteral("Call");
    case ctShow: return QStringLiteral("Show");
    case ctAdmin: return QStringLiteral("Admin");
    case ctHardware: return QStringLiteral("Hardware");
    default: return QString::number(type);
  }
}

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

std::int32_t IntFromText(std::string_view text) {
  text = TrimControl(text);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && text.front() == '-') return 0;
  }
  std::int32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return 0;
  return value;
}

bool BoolFromText(const QString& text, bool def) {
  // Only Latin-1 texts can be numbers or "True"/"False".
  return BoolFromWire(text.toLatin1().toStdString(), def);
}

// Records follow one another with no separator of their own: 7 fields a
// resource, 8 a client, starting at field 1. The list ends at the first record
// whose first field is empty.
std::vector<CallablePtr> DecodeCallableList(std::string_view payload) {
  const FieldList f(payload, ':');
  std::vector<CallablePtr> out;
  out.reserve(f.size() / 7);
  for (std::size_t base = 1; !f.field(base).empty(); base += 7) {
    auto c = std::make_shared<TCallable>();
    c->CallableName = FromWire(f.field(base));
    c->CallableLopnr = IntFromText(f.field(base + 1));
    c->CallableFriendlyname = FromWire(f.field(base + 2));
    c->CallableColour = IntFromText(f.field(base + 3));
    c->CallableSendSMS = BoolFromWire(f.field(base + 4), false);
    c->CallableMobilnummer = FromWire(f.field(base + 5));
    c->Aktiv = f.field(base + 6) != "F";
    c->Updated = false;
    out.push_back(std::move(c));
  }
  return out;
}

std::vector<MachinePtr> DecodeMachineList(std::string_view payload) {
  const FieldList f(payload, ':');
  std::vector<MachinePtr> out;
  out.reserve(f.size() / 8);
  for (std::size_t base = 1; !f.field(base).empty(); base += 8) {
    auto m = std::make_shared<TMachine>();
    m->Name = FromWire(f.field(base));
    m->Lopnr = IntFromText(f.field(base + 1));
    m->FriendlyName = FromWire(f.field(base + 2));
    m->Color = IntFromText(f.field(base + 3));
    m->MachineType = IntFromText(f.field(base + 4));
    m->Connected = BoolFromWire(f.field(base + 5), false);
    m->IMEINumber = FromWire(f.field(base + 6));
    m->ExtraText = FromWire(f.field(base + 7));
    out.push_back(std::move(m));
  }
  return out;
}

namespace {

// Field `numberOffset` of every record of `width` fields, up to the first
// record whose first field is empty.
std::vector<std::int32_t> RecordNumbers(std::string_view payload, char sep, std::size_t width,
                                        std::size_t numberOffset) {
  const FieldList f(payload, sep);
  std::vector<std::int32_t> out;
  out.reserve(f.size() / width);
  for (std::size_t base = 1; !f.field(base).empty(); base += width)
    out.push_back(IntFromText(f.field(base + numberOffset)));
  return out;
}

}  // namespace

std::vector<std::int32_t> DecodeStationCallableNumbers(std::string_view payload) {
  return RecordNumbers(payload, ':', 2, 0);
}

std::vector<std::int32_t> DecodeCallListNumbers(std::string_view payload) {
  return RecordNumbers(payload, '~', 10, 1);
}
