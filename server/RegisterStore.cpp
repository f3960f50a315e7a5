#include "server/RegisterStore.h"

namespace davu::server {

namespace {

Callable readCallable(const Statement& s) {
  Callable c;
  c.lopnr = s.integer(0);
  c.name = s.text(1);
  c.fullName = s.text(2);
  c.colour = s.integer(3);
  c.sendSms = s.integer(4) != 0;
  c.mobile = s.text(5);
  c.active = s.integer(6) != 0;
  return c;
}

Station readStation(const Statement& s) {
  Station st;
  st.lopnr = s.integer(0);
  st.name = s.text(1);
  st.friendlyName = s.text(2);
  st.color = s.integer(3);
  st.clientType = static_cast<int>(s.integer(4));
  st.imei = s.text(5);
  st.extraText = s.text(6);
  return st;
}

constexpr const char* kCallableColumns =
    "C.LOPNR, C.NAME, C.FULLNAME, C.COLOUR, C.SENDSMS, C.MOBILNUMMER, C.ACTIVE";
constexpr const char* kStationColumns =
    "LOPNR, NAME, FRIENDLYNAME, COLOR, CLIENTTYPE, IMEI, EXTRATEXT";

}  // namespace

std::vector<Callable> RegisterStore::callables() const {
  Statement s(db_.handle(), std::string("SELECT ") + kCallableColumns +
                                " FROM CALLABLES C WHERE C.DELETED = 0 ORDER BY C.LOPNR");
  std::vector<Callable> out;
  while (s.step()) out.push_back(readCallable(s));
  return out;
}

std::vector<Station> RegisterStore::stations() const {
  Statement s(db_.handle(), std::string("SELECT ") + kStationColumns +
                                " FROM STATIONS WHERE DELETED = 0 ORDER BY LOPNR");
  std::vector<Station> out;
  while (s.step()) out.push_back(readStation(s));
  return out;
}

std::optional<Station> RegisterStore::stationByName(const std::string& name) const {
  Statement s(db_.handle(), std::string("SELECT ") + kStationColumns +
                                " FROM STATIONS WHERE DELETED = 0 AND NAME = ? ORDER BY LOPNR");
  s.bind(1, name);
  if (!s.step()) return std::nullopt;
  return readStation(s);
}

std::vector<Callable> RegisterStore::stationCallables(const std::string& stationName) const {
  auto st = stationByName(stationName);
  if (!st) return {};
  Statement s(db_.handle(), std::string("SELECT ") + kCallableColumns +
                                " FROM STATIONCALLABLES SC JOIN CALLABLES C"
                                " ON C.LOPNR = SC.CALLABLESLOPNR"
                                " WHERE SC.STATIONSLOPNR = ? AND C.DELETED = 0"
                                " ORDER BY SC.POSITION, C.LOPNR");
  s.bind(1, st->lopnr);
  std::vector<Callable> out;
  while (s.step()) out.push_back(readCallable(s));
  return out;
}

void RegisterStore::saveCallables(const std::vector<Callable>& records) {
  Transaction t(db_);
  Statement ins(db_.handle(),
                "INSERT INTO CALLABLES (NAME, FULLNAME, COLOUR, SENDSMS, MOBILNUMMER, ACTIVE)"
                " VALUES (?, ?, ?, ?, ?, ?)");
  Statement upd(db_.handle(),
                "UPDATE CALLABLES SET NAME = ?, FULLNAME = ?, COLOUR = ?, SENDSMS = ?,"
                " MOBILNUMMER = ?, ACTIVE = ? WHERE LOPNR = ? AND DELETED = 0");
  for (const Callable& c : records) {
    Statement& s = c.lopnr < 0 ? ins : upd;
    s.reset();
    s.bind(1, c.name).bind(2, c.fullName).bind(3, c.colour);
    s.bind(4, std::int64_t{c.sendSms ? 1 : 0}).bind(5, c.mobile);
    s.bind(6, std::int64_t{c.active ? 1 : 0});
    if (c.lopnr >= 0) s.bind(7, c.lopnr);
    s.run();
    if (c.lopnr >= 0 && db_.changes() == 0)
      throw RegisterError("Resursen " + c.name + " (nr " + std::to_string(c.lopnr) +
                          ") finns inte längre på servern. Läs in listan igen.");
  }
  t.commit();
}

void RegisterStore::deleteCallable(std::int64_t lopnr) {
  Transaction t(db_);
  Statement s(db_.handle(), "UPDATE CALLABLES SET DELETED = 1 WHERE LOPNR = ? AND DELETED = 0");
  s.bind(1, lopnr).run();
  if (db_.changes() == 0)
    throw RegisterError("Resurs nr " + std::to_string(lopnr) + " finns inte på servern.");
  Statement sc(db_.handle(), "DELETE FROM STATIONCALLABLES WHERE CALLABLESLOPNR = ?");
  sc.bind(1, lopnr).run();
  t.commit();
}

std::int64_t RegisterStore::saveStation(const Station& st) {
  Transaction t(db_);
  // The client is known to the others by its name, so names stay unique.
  Statement dup(db_.handle(),
                "SELECT 1 FROM STATIONS WHERE DELETED = 0 AND NAME = ? AND LOPNR <> ?");
  dup.bind(1, st.name).bind(2, st.lopnr);
  if (dup.step())
    throw RegisterError("Det finns redan en klient med namnet " + st.name + ".");
  std::int64_t lopnr = st.lopnr;
  if (st.lopnr < 0) {
    Statement s(db_.handle(),
                "INSERT INTO STATIONS (NAME, FRIENDLYNAME, COLOR, CLIENTTYPE, IMEI, EXTRATEXT)"
                " VALUES (?, ?, ?, ?, ?, ?)");
    s.bind(1, st.name).bind(2, st.friendlyName).bind(3, st.color);
    s.bind(4, std::int64_t{st.clientType}).bind(5, st.imei).bind(6, st.extraText).run();
    lopnr = db_.lastInsertId();
  } else {
    Statement s(db_.handle(),
                "UPDATE STATIONS SET NAME = ?, FRIENDLYNAME = ?, COLOR = ?, CLIENTTYPE = ?,"
                " IMEI = ?, EXTRATEXT = ? WHERE LOPNR = ? AND DELETED = 0");
    s.bind(1, st.name).bind(2, st.friendlyName).bind(3, st.color);
    s.bind(4, std::int64_t{st.clientType}).bind(5, st.imei).bind(6, st.extraText);
    s.bind(7, st.lopnr).run();
    if (db_.changes() == 0)
      throw RegisterError("Klienten " + st.name + " (nr " + std::to_string(st.lopnr) +
                          ") finns inte längre på servern. Läs in listan igen.");
  }
  t.commit();
  return lopnr;
}

void RegisterStore::deleteStation(const std::string& name) {
  Transaction t(db_);
  Statement sc(db_.handle(),
               "DELETE FROM STATIONCALLABLES WHERE STATIONSLOPNR IN"
               " (SELECT LOPNR FROM STATIONS WHERE DELETED = 0 AND NAME = ?)");
  sc.bind(1, name).run();
  Statement s(db_.handle(), "UPDATE STATIONS SET DELETED = 1 WHERE DELETED = 0 AND NAME = ?");
  s.bind(1, name).run();
  if (db_.changes() == 0)
    throw RegisterError("Klienten " + name + " finns inte på servern.");
  t.commit();
}

void RegisterStore::setStationCallables(std::int64_t stationLopnr,
                                        const std::vector<std::int64_t>& lopnrs) {
  Transaction t(db_);
  Statement st(db_.handle(), "SELECT 1 FROM STATIONS WHERE LOPNR = ? AND DELETED = 0");
  st.bind(1, stationLopnr);
  if (!st.step())
    throw RegisterError("Klient nr " + std::to_string(stationLopnr) +
                        " finns inte på servern. Läs in listan igen.");
  Statement del(db_.handle(), "DELETE FROM STATIONCALLABLES WHERE STATIONSLOPNR = ?");
  del.bind(1, stationLopnr).run();
  Statement ins(db_.handle(),
                "INSERT OR IGNORE INTO STATIONCALLABLES (STATIONSLOPNR, CALLABLESLOPNR, POSITION)"
                " SELECT ?, LOPNR, ? FROM CALLABLES WHERE LOPNR = ? AND DELETED = 0");
  std::int64_t pos = 0;
  for (std::int64_t c : lopnrs) {
    ins.reset();
    ins.bind(1, stationLopnr).bind(2, pos).bind(3, c).run();
    if (db_.changes() > 0) ++pos;
  }
  t.commit();
}

std::optional<std::string> RegisterStore::setting(const std::string& address,
                                                  const std::string& key) const {
  Statement s(db_.handle(), "SELECT VALUE FROM SETTINGS WHERE ADDRESS = ? AND KEYNAME = ?");
  s.bind(1, address).bind(2, key);
  if (!s.step()) return std::nullopt;
  return s.text(0);
}

namespace {
// Characters of a UTF-8 text.
std::size_t Chars(const std::string& s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}
}  // namespace

void RegisterStore::setSetting(const std::string& address, const std::string& key,
                               const std::string& value) {
  const std::string notSaved = "inställningen " + key + " sparades inte: ";
  if (Chars(address) > kMaxSettingNameChars || Chars(key) > kMaxSettingNameChars)
    throw RegisterError("inställningen sparades inte: sektionens och nyckelns namn får vara högst " +
                        std::to_string(kMaxSettingNameChars) + " tecken långa.");
  if (value.size() > kMaxSettingValueBytes)
    throw RegisterError(notSaved + "värdet är " + std::to_string(value.size()) + " byte, högst " +
                        std::to_string(kMaxSettingValueBytes / 1024) + " KiB kan sparas.");
  Transaction t(db_);
  if (!setting(address, key)) {
    Statement inSection(db_.handle(), "SELECT COUNT(*) FROM SETTINGS WHERE ADDRESS = ?");
    inSection.bind(1, address).step();
    if (inSection.integer(0) >= kMaxKeysPerSection)
      throw RegisterError(notSaved + "sektionen " + address + " har redan " +
                          std::to_string(kMaxKeysPerSection) + " nycklar, fler kan inte sparas.");
    Statement all(db_.handle(), "SELECT COUNT(*) FROM SETTINGS");
    all.step();
    if (all.integer(0) >= kMaxSettings)
      throw RegisterError(notSaved + "servern har redan " + std::to_string(kMaxSettings) +
                          " inställningar, fler kan inte sparas.");
  }
  Statement s(db_.handle(),
              "INSERT OR REPLACE INTO SETTINGS (ADDRESS, KEYNAME, VALUE) VALUES (?, ?, ?)");
  s.bind(1, address).bind(2, key).bind(3, value).run();
  t.commit();
}

SmsAccount RegisterStore::smsAccount() const {
  Statement s(db_.handle(), "SELECT USERNAME, PASSWORD, KUNDNR FROM SMSSETTINGS WHERE ID = 1");
  SmsAccount a;
  if (s.step()) {
    a.userName = s.text(0);
    a.password = s.text(1);
    a.customerNo = s.text(2);
  }
  return a;
}

void RegisterStore::setSmsAccount(const SmsAccount& a) {
  Transaction t(db_);
  Statement s(db_.handle(),
              "INSERT OR REPLACE INTO SMSSETTINGS (ID, USERNAME, PASSWORD, KUNDNR)"
              " VALUES (1, ?, ?, ?)");
  s.bind(1, a.userName).bind(2, a.password).bind(3, a.customerNo).run();
  t.commit();
}

}  // namespace davu::server
