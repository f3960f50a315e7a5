#include "RequestHandler.h"

#include <QFile>
#include <QFileInfo>
#include <QString>

#include <algorithm>
#include <charconv>

#include "ServerText.h"
#include "protocol/Envelope.h"
#include "protocol/NeutralText.h"
#include "protocol/TextUtil.h"

namespace davu::server {

namespace {

constexpr std::string_view kAdminName = "\xA4\xA4" "ADMIN" "\xA4\xA4";
constexpr std::string_view kDeleteMe = "\xA4" "DELETE_ME" "\xA4";
constexpr std::string_view kRecordEnd = "%\xA4";

std::vector<std::string_view> Split(std::string_view body, char sep) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  while (true) {
    std::size_t p = body.find(sep, start);
    if (p == std::string_view::npos) {
      out.push_back(body.substr(start));
      return out;
    }
    out.push_back(body.substr(start, p - start));
    start = p + 1;
  }
}

std::string_view Trim(std::string_view s) { return davu::proto::TrimControl(s); }

std::string_view Field(const std::vector<std::string_view>& f, std::size_t i) {
  return i < f.size() ? Trim(f[i]) : std::string_view();
}

bool ParseInt(std::string_view s, std::int64_t& v) {
  s = Trim(s);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return ec == std::errc() && p == s.data() + s.size() && !s.empty();
}

std::int64_t RequireInt(std::string_view s, const char* what) {
  std::int64_t v = 0;
  if (!ParseInt(s, v))
    throw Refusal(std::string(what) + " \"" + WireToUtf8(Trim(s)) + "\" är inte ett heltal.");
  return v;
}

// Boolean texts: a number other than 0 or "True" is true, 0 or "False" false.
bool BoolText(std::string_view s) {
  std::int64_t v = 0;
  if (ParseInt(s, v)) return v != 0;
  return davu::proto::FindIgnoreCase(Trim(s), "true") == 0 && Trim(s).size() == 4;
}

// A stored text as one field of a reply: the separator and "¤" cannot travel.
std::string WireField(const std::string& utf8, char sep) {
  return davu::proto::NeutralText(Utf8ToWire(utf8), std::string_view(&sep, 1),
                                  sep == ':' ? ';' : '-');
}

std::string Envelope(std::string_view tag, char sep, const std::vector<std::string>& fields) {
  std::string m = "\xA4";
  m += tag;
  m += sep;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i > 0) m += sep;
    m += fields[i];
  }
  m += sep;
  m += tag;
  m += '\xA4';
  return m;
}

std::string Num(std::int64_t v) { return std::to_string(v); }

bool IsTagChar(char c) { return c >= 'A' && c <= 'Z'; }

}  // namespace

std::string RetSqlHead() {
  std::string head(davu::proto::kFrameStart);
  head += davu::proto::OpeningMarker("RETSQL");
  return head;
}

std::string RetSqlTail() {
  return davu::proto::ClosingMarker("RETSQL") + std::string(davu::proto::kFrameEnd);
}

RequestHandler::RequestHandler(Database& db, ServerConfig config)
    : db_(db), store_(db), gate_(db.handle()), config_(std::move(config)) {}

std::vector<Reply> RequestHandler::handleText(std::string_view text, Session& session) {
  std::vector<Reply> out;
  std::size_t pos = 0;
  while (pos != std::string_view::npos) pos = handleNext(text, pos, session, out, nullptr);
  return out;
}

std::size_t RequestHandler::handleNext(std::string_view text, std::size_t pos, Session& session,
                                       std::vector<Reply>& out, std::optional<SqlWork>* deferred) {
  while (true) {
    std::size_t p = text.find('\xA4', pos);
    if (p == std::string_view::npos) return std::string_view::npos;
    std::size_t q = p + 1;
    while (q < text.size() && IsTagChar(text[q])) ++q;
    if (q == p + 1 || q >= text.size() || (text[q] != ':' && text[q] != '$' && text[q] != '~')) {
      pos = p + 1;
      continue;
    }
    std::string_view tag = text.substr(p + 1, q - p - 1);
    char sep = text[q];
    std::string closing(1, sep);
    closing += tag;
    closing += '\xA4';
    // The closing marker may share the opening marker's separator ("¤TAG:TAG¤").
    std::size_t e = text.find(closing, q);
    if (e == std::string_view::npos) return std::string_view::npos;  // incomplete: the reassembler keeps it
    std::string_view body = e > q ? text.substr(q + 1, e - q - 1) : std::string_view();
    deferred_ = deferred;
    handleMessage(tag, sep, body, session, out);
    deferred_ = nullptr;
    return e + closing.size();
  }
}

Reply RequestHandler::refusal(std::string_view tag, const std::string& why, const Session& s) {
  if (log_)
    log_("refused " + std::string(tag) + " from " + s.peer +
         (s.clientName.empty() ? "" : " (" + s.clientName + ")") + ", answered \"ERROR: " + why + "\"");
  // Whatever the reason quotes from the request or the database, the
  // error reply has no markers in it: it has no closing marker of its own.
  return {"ERROR: " + davu::proto::NeutralText(Utf8ToWire(why)), 0};
}

void RequestHandler::refuse(std::string_view tag, const std::string& why, Session& s,
                            std::vector<Reply>& out) {
  out.push_back(refusal(tag, why, s));
}

void RequestHandler::handleMessage(std::string_view tag, char sep, std::string_view body,
                                   Session& s, std::vector<Reply>& out) {
  using davu::proto::BuildMessage;
  const bool expectDollar = tag == "EXECSQL";
  if ((sep == '$') != expectDollar || sep == '~') {
    refuse(tag, "okänd begäran " + WireToUtf8(tag) + ". Uppdatera servern eller klienten.", s, out);
    return;
  }
  try {
    const auto f = Split(body, sep);
    if (tag == "GETSERVERVERSION") {
      s.clientName = WireToUtf8(Field(f, 0));
      std::int64_t type = -1;
      s.clientType = ParseInt(Field(f, 1), type) ? static_cast<int>(type) : -1;
      s.introduced = true;
      out.push_back({BuildMessage("RETSERVERVERSION", ':', {config_.version}), 0});
    } else if (tag == "GETKLINIKNAMN") {
      std::string name = db_.meta("KLINIKNAMN");
      out.push_back({BuildMessage("RETKLINIKNAMN", ':', {WireField(name, ':')}), 0});
    } else if (tag == "GETCALLLIST") {
      out.push_back({getCallList(f), 0});
    } else if (tag == "GETALLCALLABLES") {
      out.push_back({allCallables(), 0});
    } else if (tag == "GETALLMACHINES") {
      out.push_back({allMachines(), 0});
    } else if (tag == "GETSTATIONCALLABLES") {
      out.push_back({stationCallables(f), 0});
    } else if (tag == "GETSMSSETTINGS") {
      SmsAccount a = store_.smsAccount();
      out.push_back({Envelope("RETSMSSETTINGS", ':',
                              {WireField(a.userName, ':'), WireField(a.password, ':'),
                               WireField(a.customerNo, ':')}),
                     0});
    } else if (tag == "POSTSMSSETTINGS") {
      if (f.size() > 3)
        throw Refusal("SMS-inställningarna sparades inte: kolon (:) kan inte användas i "
                      "användarnamn, lösenord eller kundnummer.");
      store_.setSmsAccount({WireToUtf8(Field(f, 0)), WireToUtf8(Field(f, 1)),
                            WireToUtf8(Field(f, 2))});
    } else if (tag == "GETINITEXT") {
      std::string_view address = Field(f, 0);
      if (!address.empty() && address.front() == '\\') address.remove_prefix(1);
      auto v = store_.setting(WireToUtf8(address), WireToUtf8(Field(f, 1)));
      std::string value = v ? davu::proto::NeutralText(Utf8ToWire(*v)) : std::string();
      out.push_back({BuildMessage("RETINITEXT", ':', {value}), 0});
    } else if (tag == "SETINITEXT") {
      std::string_view address = Field(f, 0);
      if (!address.empty() && address.front() == '\\') address.remove_prefix(1);
      std::string_view key = Field(f, 1);
      if (address.empty() || key.empty() || f.size() < 3)
        throw Refusal("inställningen sparades inte: sektion och nyckel måste anges.");
      // The value is everything after the key; a ":" in it is kept.
      std::size_t valueStart = static_cast<std::size_t>(f[2].data() - body.data());
      store_.setSetting(WireToUtf8(address), WireToUtf8(key),
                        WireToUtf8(Trim(body.substr(valueStart))));
    } else if (tag == "REGISTERUPATECALLABLE") {
      registerCallables(body);
    } else if (tag == "REGISTERUPATEMACHINE") {
      registerMachine(body);
    } else if (tag == "POSTCALLABLESLIST") {
      postCallablesList(f);
    } else if (tag == "OPENSQL" || tag == "EXECSQL") {
      // The client name runs to the first separator; the SQL text is the rest
      // and may hold the separator itself (times of day).
      std::size_t cut = body.find(sep);
      std::string_view sql = cut == std::string_view::npos ? std::string_view() : body.substr(cut + 1);
      std::string sqlUtf8 = WireToUtf8(sql);
      if (deferred_) {
        *deferred_ = SqlWork{tag == "EXECSQL", std::move(sqlUtf8)};
        return;
      }
      SqlOutcome r = tag == "OPENSQL" ? gate_.openSql(sqlUtf8, RetSqlHead()) : gate_.execSql(sqlUtf8);
      if (!r.ok) throw Refusal(r.error);
      if (tag == "OPENSQL") {
        r.rows += RetSqlTail();
        out.push_back({std::move(r.rows), 0});
      }
    } else if (tag == "GETNEWCLIENT") {
      programFileReplies(f, out);
    } else {
      refuse(tag, "okänd begäran " + WireToUtf8(tag) + ". Uppdatera servern eller klienten.", s,
             out);
    }
  } catch (const Refusal& e) {
    refuse(tag, e.what(), s, out);
  } catch (const RegisterError& e) {
    refuse(tag, e.what(), s, out);
  } catch (const DbError& e) {
    refuse(tag, std::string("databasfel på servern: ") + e.what() + ". Försök igen.", s, out);
  }
}

std::string RequestHandler::getCallList(const std::vector<std::string_view>& f) {
  // Ten fields per resource: name, number, full name, colour, SMS, mobile,
  // active, position, the client's number and the client's name.
  std::vector<std::string> fields;
  std::string_view who = Field(f, 0);
  if (who != kAdminName) {
    std::string name = WireToUtf8(who);
    auto st = store_.stationByName(name);
    if (st) {
      std::int64_t pos = 0;
      for (const Callable& c : store_.stationCallables(name)) {
        for (std::string v : {WireField(c.name, '~'), Num(c.lopnr), WireField(c.fullName, '~'),
                              Num(c.colour), std::string(c.sendSms ? "-1" : "0"),
                              WireField(c.mobile, '~'), std::string(c.active ? "T" : "F"),
                              Num(pos++), Num(st->lopnr), WireField(st->name, '~')})
          fields.push_back(std::move(v));
      }
    }
  }
  return Envelope("RETCALLLIST", '~', fields);
}

std::string RequestHandler::allCallables() {
  std::vector<std::string> fields;
  for (const Callable& c : store_.callables()) {
    for (std::string v : {WireField(c.name, ':'), Num(c.lopnr), WireField(c.fullName, ':'),
                          Num(c.colour), std::string(c.sendSms ? "-1" : "0"),
                          WireField(c.mobile, ':'), std::string(c.active ? "T" : "F")})
      fields.push_back(std::move(v));
  }
  return Envelope("RETALLCALLABLES", ':', fields);
}

std::string RequestHandler::allMachines() {
  std::vector<std::string> fields;
  for (const Station& st : store_.stations()) {
    bool on = connected_ && connected_(st.name);
    for (std::string v : {WireField(st.name, ':'), Num(st.lopnr), WireField(st.friendlyName, ':'),
                          Num(st.color), Num(st.clientType), std::string(on ? "-1" : "0"),
                          WireField(st.imei, ':'), WireField(st.extraText, ':')})
      fields.push_back(std::move(v));
  }
  return Envelope("RETALLMACHINES", ':', fields);
}

std::string RequestHandler::stationCallables(const std::vector<std::string_view>& f) {
  std::vector<std::string> fields;
  std::int64_t pos = 0;
  for (const Callable& c : store_.stationCallables(WireToUtf8(Field(f, 0)))) {
    fields.push_back(Num(c.lopnr));
    fields.push_back(Num(pos++));
  }
  return Envelope("RETSTATIONCALLABLES", ':', fields);
}

void RequestHandler::registerCallables(std::string_view body) {
  // Records end in "%¤"; each is ":"-separated with one ":" on either side
  // of the terminator. A delete record has "¤DELETE_ME¤" in place of the name.
  std::vector<Callable> saves;
  std::vector<std::int64_t> deletes;
  std::size_t start = 0;
  while (start <= body.size()) {
    std::size_t end = body.find(kRecordEnd, start);
    std::string_view rec = body.substr(start, end == std::string_view::npos ? body.npos : end - start);
    start = end == std::string_view::npos ? body.size() + 1 : end + kRecordEnd.size();
    if (!rec.empty() && rec.front() == ':') rec.remove_prefix(1);
    if (!rec.empty() && rec.back() == ':') rec.remove_suffix(1);
    if (Trim(rec).empty()) continue;
    auto f = Split(rec, ':');
    if (f.size() >= 2 && Trim(f[1]) == kDeleteMe) {
      deletes.push_back(RequireInt(f[0], "Resursnumret"));
      continue;
    }
    if (f.size() != 7)
      throw Refusal("resursen sparades inte: posten har " + std::to_string(f.size()) +
                    " fält i stället för 7. Kolon (:) kan inte användas i namn eller nummer.");
    Callable c;
    c.lopnr = RequireInt(f[0], "Resursnumret");
    c.name = WireToUtf8(Trim(f[1]));
    c.fullName = WireToUtf8(Trim(f[2]));
    c.colour = RequireInt(f[3], "Färgen");
    c.sendSms = BoolText(f[4]);
    c.mobile = WireToUtf8(Trim(f[5]));
    c.active = Trim(f[6]) != "F";
    if (c.name.empty()) throw Refusal("resursen sparades inte: namn får ej vara tomt.");
    if (c.lopnr < -1) throw Refusal("resursen sparades inte: ogiltigt resursnummer.");
    saves.push_back(std::move(c));
  }
  // All or nothing: a delete that fails undoes the saves before it.
  Transaction whole(db_);
  if (!saves.empty()) store_.saveCallables(saves);
  for (std::int64_t lopnr : deletes) store_.deleteCallable(lopnr);
  whole.commit();
}

void RequestHandler::registerMachine(std::string_view body) {
  auto f = Split(body, ':');
  auto del = std::find_if(f.begin(), f.end(), [](std::string_view v) { return Trim(v) == kDeleteMe; });
  if (del != f.end()) {
    // name ":" type ":¤DELETE_ME¤:" colour; the client is known by its name.
    std::size_t idx = static_cast<std::size_t>(del - f.begin());
    if (idx < 2) throw Refusal("klienten togs inte bort: namnet saknas.");
    std::string_view name = body.substr(0, static_cast<std::size_t>(f[idx - 1].data() - body.data()) - 1);
    store_.deleteStation(WireToUtf8(Trim(name)));
    return;
  }
  if (f.size() == 8 && Trim(f[7]).empty()) f.pop_back();
  if (f.size() != 7)
    throw Refusal("klienten sparades inte: posten har " + std::to_string(f.size()) +
                  " fält i stället för 7. Kolon (:) kan inte användas i namn eller plats.");
  Station st;
  st.name = WireToUtf8(Trim(f[0]));
  std::int64_t type = RequireInt(f[1], "Klienttypen");
  if (type < 0 || type > 3) throw Refusal("klienten sparades inte: okänd klienttyp " + Num(type) + ".");
  st.clientType = static_cast<int>(type);
  st.friendlyName = WireToUtf8(Trim(f[2]));
  st.color = RequireInt(f[3], "Färgen");
  st.imei = WireToUtf8(Trim(f[4]));
  st.extraText = WireToUtf8(Trim(f[5]));
  st.lopnr = RequireInt(f[6], "Klientnumret");
  if (st.name.empty()) throw Refusal("klienten sparades inte: namn får ej vara tomt.");
  if (st.lopnr < -1) throw Refusal("klienten sparades inte: ogiltigt klientnummer.");
  store_.saveStation(st);
}

void RequestHandler::postCallablesList(const std::vector<std::string_view>& f) {
  // client name, client type, the client's number, then (resource, position) pairs.
  std::int64_t station = RequireInt(Field(f, 2), "Klientnumret");
  std::vector<std::pair<std::int64_t, std::int64_t>> chosen;
  for (std::size_t i = 3; i < f.size(); i += 2) {
    if (Field(f, i).empty()) continue;
    std::int64_t lopnr = RequireInt(Field(f, i), "Resursnumret");
    std::int64_t pos = static_cast<std::int64_t>(chosen.size());
    if (i + 1 < f.size()) ParseInt(Field(f, i + 1), pos);
    chosen.emplace_back(pos, lopnr);
  }
  std::stable_sort(chosen.begin(), chosen.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::int64_t> lopnrs;
  for (const auto& [pos, lopnr] : chosen) lopnrs.push_back(lopnr);
  store_.setStationCallables(station, lopnrs);
}

void RequestHandler::programFileReplies(const std::vector<std::string_view>& f,
                                        std::vector<Reply>& out) {
  if (config_.updateDir.empty())
    throw Refusal("servern har ingen katalog med programfiler (starta davu-server med --update-dir).");
  std::string name = WireToUtf8(Field(f, 0));
  if (name.empty() || name.front() == '.' || name.find_first_of("/\\") != std::string::npos ||
      name.find('\0') != std::string::npos)
    throw Refusal("ogiltigt filnamn \"" + name + "\".");
  QString path = QString::fromStdString(config_.updateDir) + "/" + QString::fromStdString(name);
  QFileInfo info(path);
  // A link that leads out of the folder is not in it.
  const QString folder = QFileInfo(QString::fromStdString(config_.updateDir)).canonicalFilePath();
  if (!info.isFile() || folder.isEmpty() ||
      !info.canonicalFilePath().startsWith(folder + QLatin1Char('/')))
    throw Refusal("programfilen " + name + " finns inte på uppdateringsservern.");
  if (static_cast<std::size_t>(info.size()) > config_.maxProgramFile)
    throw Refusal("programfilen " + name + " är för stor för att skickas.");
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    throw Refusal("programfilen " + name + " kan inte läsas på servern.");
  QByteArray bytes = file.readAll();
  std::string_view v(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  // A client cuts the reply at the first marker text in it. The reply names
  // the file only: a marker quoted in it would be taken for one.
  const std::string markers[] = {std::string(davu::proto::kFrameStart), std::string(davu::proto::kFrameEnd),
                                 davu::proto::OpeningMarker("RETNEWCLIENT"),
                                 davu::proto::ClosingMarker("RETNEWCLIENT")};
  for (const std::string& marker : markers)
    if (v.find(marker) != v.npos)
      throw Refusal("programfilen " + name + " innehåller en protokollmarkör och kan inte skickas.");
  // The client stores a program reply only when the start and the end marker
  // reach it in different reads, and it would store any reply that shares
  // the first read. The pauses keep both apart.
  std::string head(davu::proto::kFrameStart);
  head += "\xA4RETNEWCLIENT:";
  head.append(v);
  out.push_back({std::move(head), config_.programFilePauseMs});
  out.push_back({std::string(":RETNEWCLIENT\xA4") + std::string(davu::proto::kFrameEnd),
                 config_.programFilePauseMs});
}

}  // namespace davu::server
