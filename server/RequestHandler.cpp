#include "server/RequestHandler.h"

#include <QFileInfo>
#include <QString>

#include "protocol/Catalogue.h"
#include "protocol/Envelope.h"
#include "protocol/MessageScanner.h"
#include "protocol/NeutralText.h"
#include "protocol/RegisterLists.h"
#include "protocol/Requests.h"
#include "protocol/SqlRows.h"
#include "server/RequestFields.h"
#include "server/ServerText.h"

namespace davu::server {

RequestHandler::RequestHandler(Database& db, ServerConfig config)
    : db_(db), store_(db), changes_(db), gate_(db.handle()), config_(std::move(config)) {}

std::vector<Reply> RequestHandler::handleText(std::string_view text, Session& session) {
  std::vector<Reply> out;
  std::size_t pos = 0;
  while (pos != std::string_view::npos) pos = handleNext(text, pos, session, out, nullptr);
  return out;
}

std::size_t RequestHandler::handleNext(std::string_view text, std::size_t pos, Session& session,
                                       std::vector<Reply>& out, Deferred* deferred) {
  davu::proto::MessageScanner scanner(text);
  const davu::proto::MessageAt m = scanner.next(pos);
  // Unclosed: incomplete, the reassembler keeps it.
  if (m.state != davu::proto::MessageAt::Complete) return std::string_view::npos;
  deferred_ = deferred;
  handleMessage(m.tag(text), m.sep, m.body(text), session, out);
  deferred_ = nullptr;
  return m.end;
}

Reply RequestHandler::refusal(std::string_view tag, const std::string& why, const Session& s) {
  if (log_)
    log_(s.peer, "refused " + std::string(tag) + " from " + s.peer +
         (s.clientName.empty() ? "" : " (" + s.clientName + ")") + ", answered \"ERROR: " + why + "\"");
  // Whatever the reason quotes from the request or the database.
  return {davu::proto::ErrorReply(Utf8ToWire(why)), 0};
}

void RequestHandler::refuse(std::string_view tag, const std::string& why, Session& s,
                            std::vector<Reply>& out) {
  out.push_back(refusal(tag, why, s));
}

namespace {

using davu::proto::BuildMessage;
using davu::proto::Request;

davu::proto::CallableRecord ToRecord(const Callable& c) {
  return {Utf8ToWire(c.name), c.lopnr, Utf8ToWire(c.fullName), c.colour, c.sendSms,
          Utf8ToWire(c.mobile), c.active};
}

std::string UnknownRequest(std::string_view tag) {
  return "okänd begäran " + WireToUtf8(tag) + ". Uppdatera servern eller klienten.";
}

}  // namespace

constexpr std::array<RequestHandler::Route, Request::Count> RequestHandler::kRoutes{{
    {Request::GetServerVersion, &RequestHandler::introduce},
    {Request::GetKlinikNamn, &RequestHandler::clinicName},
    {Request::GetCallList, &RequestHandler::callList},
    {Request::GetAllCallables, &RequestHandler::allCallables},
    {Request::GetAllMachines, &RequestHandler::allMachines},
    {Request::GetStationCallables, &RequestHandler::stationCallables},
    {Request::GetSmsSettings, &RequestHandler::smsSettings},
    {Request::GetIniText, &RequestHandler::iniText},
    {Request::SetIniText, &RequestHandler::change},
    {Request::PostSmsSettings, &RequestHandler::change},
    {Request::RegisterUpdateCallable, &RequestHandler::change},
    {Request::RegisterUpdateMachine, &RequestHandler::change},
    {Request::PostCallablesList, &RequestHandler::change},
    {Request::OpenSql, &RequestHandler::sql},
    {Request::ExecSql, &RequestHandler::sql},
    {Request::GetNewClient, &RequestHandler::programFile},
}};

constexpr bool RequestHandler::routesInOrder() {
  for (std::size_t i = 0; i < kRoutes.size(); ++i)
    if (kRoutes[i].kind != i) return false;
  return true;
}

void RequestHandler::handleMessage(std::string_view tag, char sep, std::string_view body,
                                   Session& s, std::vector<Reply>& out) {
  static_assert(routesInOrder(), "kRoutes follows kRequests");
  const auto kind = davu::proto::FindRequest(tag, sep);
  if (!kind) {
    refuse(tag, UnknownRequest(tag), s, out);
    return;
  }
  try {
    (this->*kRoutes[*kind].handler)({*kind, tag, sep, body}, s, out);
  } catch (const Refusal& e) {
    refuse(tag, e.what(), s, out);
  } catch (const RegisterError& e) {
    refuse(tag, e.what(), s, out);
  } catch (const DbError& e) {
    refuse(tag, std::string("databasfel på servern: ") + e.what() + ". Försök igen.", s, out);
  }
}

void RequestHandler::introduce(const Incoming& m, Session& s, std::vector<Reply>& out) {
  Introduction who = DecodeIntroduction(m.body, m.sep);
  s.clientName = std::move(who.clientName);
  s.clientType = who.clientType;
  s.introduced = true;
  out.push_back({BuildMessage("RETSERVERVERSION", ':', {config_.version}), 0});
}

void RequestHandler::clinicName(const Incoming&, Session&, std::vector<Reply>& out) {
  const std::string name = Utf8ToWire(db_.meta("KLINIKNAMN"));
  out.push_back({BuildMessage("RETKLINIKNAMN", ':', {davu::proto::FieldText(name, ':')}), 0});
}

void RequestHandler::callList(const Incoming& m, Session&, std::vector<Reply>& out) {
  // Each resource with its position and the client's number and name.
  std::vector<davu::proto::CallListEntry> entries;
  const StationQuery q = DecodeStationQuery(m.body, m.sep);
  if (!q.admin) {
    if (auto st = store_.stationByName(q.name)) {
      std::int64_t pos = 0;
      for (const Callable& c : store_.stationCallables(q.name))
        entries.push_back({ToRecord(c), pos++, st->lopnr, Utf8ToWire(st->name)});
    }
  }
  out.push_back({davu::proto::EncodeCallList(entries), 0});
}

void RequestHandler::allCallables(const Incoming&, Session&, std::vector<Reply>& out) {
  std::vector<davu::proto::CallableRecord> records;
  for (const Callable& c : store_.callables()) records.push_back(ToRecord(c));
  out.push_back({davu::proto::EncodeAllCallables(records), 0});
}

void RequestHandler::allMachines(const Incoming&, Session&, std::vector<Reply>& out) {
  std::vector<davu::proto::MachineRecord> records;
  for (const Station& st : store_.stations()) {
    bool on = connected_ && connected_(st.name);
    records.push_back({Utf8ToWire(st.name), st.lopnr, Utf8ToWire(st.friendlyName), st.color,
                       st.clientType, on, Utf8ToWire(st.imei), Utf8ToWire(st.extraText)});
  }
  out.push_back({davu::proto::EncodeAllMachines(records), 0});
}

void RequestHandler::stationCallables(const Incoming& m, Session&, std::vector<Reply>& out) {
  std::vector<std::int64_t> lopnrs;
  for (const Callable& c : store_.stationCallables(DecodeStationQuery(m.body, m.sep).name))
    lopnrs.push_back(c.lopnr);
  out.push_back({davu::proto::EncodeStationCallables(lopnrs), 0});
}

void RequestHandler::smsSettings(const Incoming&, Session&, std::vector<Reply>& out) {
  const SmsAccount a = store_.smsAccount();
  out.push_back({davu::proto::EncodeSmsSettings(
                     {Utf8ToWire(a.userName), Utf8ToWire(a.password), Utf8ToWire(a.customerNo)}),
                 0});
}

void RequestHandler::iniText(const Incoming& m, Session&, std::vector<Reply>& out) {
  const SettingQuery q = DecodeSettingQuery(m.body, m.sep);
  const auto v = store_.setting(q.address, q.key);
  const std::string value = v ? davu::proto::NeutralText(Utf8ToWire(*v)) : std::string();
  out.push_back({BuildMessage("RETINITEXT", ':', {value}), 0});
}

void RequestHandler::change(const Incoming& m, Session&, std::vector<Reply>&) {
  if (deferred_) {
    deferred_->change = ChangeWork{std::string(m.tag), m.sep, std::string(m.body)};
    return;
  }
  if (auto why = changes_.apply(m.tag, m.sep, m.body)) throw Refusal(*why);
}

void RequestHandler::sql(const Incoming& m, Session& s, std::vector<Reply>& out) {
  const bool exec = m.kind == Request::ExecSql;
  std::string sqlUtf8 = DecodeSqlText(m.body, m.sep);
  if (deferred_) {
    deferred_->sql = SqlWork{exec, std::move(sqlUtf8), s.peer.substr(0, s.peer.rfind(':'))};
    return;
  }
  SqlOutcome r = exec ? gate_.execSql(sqlUtf8) : gate_.openSql(sqlUtf8, davu::proto::RetSqlHead());
  if (!r.ok) throw Refusal(r.error);
  if (exec) return;
  r.rows += davu::proto::RetSqlTail();
  out.push_back({std::move(r.rows), 0});
}

void RequestHandler::programFile(const Incoming& m, Session&, std::vector<Reply>& out) {
  if (config_.updateDir.empty())
    throw Refusal("servern har ingen katalog med programfiler (starta davu-server med --update-dir).");
  const std::string name = DecodeFileName(m.body, m.sep);
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
  std::shared_ptr<FileSlices> file = FileSlices::open(path.toStdString());
  if (!file) throw Refusal("programfilen " + name + " kan inte läsas på servern.");
  if (file->size() > config_.maxProgramFile)
    throw Refusal("programfilen " + name + " är för stor för att skickas.");
  // A client cuts the reply at the first marker text in it. The reply names
  // the file only: a marker quoted in it would be taken for one. The file is
  // read for this once, not for each client that asks while it is unchanged.
  const std::string open = davu::proto::OpeningMarker("RETNEWCLIENT");
  const std::string close = davu::proto::ClosingMarker("RETNEWCLIENT");
  const std::string_view markers[] = {davu::proto::kFrameStart, davu::proto::kFrameEnd, open, close};
  if (file->identity() != unmarkedFile_) {
    if (file->contains(markers, std::size(markers)))
      throw Refusal("programfilen " + name + " innehåller en protokollmarkör och kan inte skickas.");
    unmarkedFile_ = file->identity();
  }
  // The client stores a program reply only when the start and the end marker
  // reach it in different reads, and it would store any reply that shares
  // the first read. The pauses keep both apart.
  out.push_back({std::string(davu::proto::kFrameStart) + open, config_.programFilePauseMs, std::move(file)});
  out.push_back({close + std::string(davu::proto::kFrameEnd), config_.programFilePauseMs});
}

}  // namespace davu::server
