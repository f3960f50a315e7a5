#include "RequestHandler.h"

#include <QFileInfo>
#include <QString>

#include "ServerText.h"
#include "protocol/Catalogue.h"
#include "protocol/Envelope.h"
#include "protocol/MessageScanner.h"
#include "protocol/NeutralText.h"
#include "protocol/RegisterLists.h"
#include "protocol/SqlRows.h"
#include "protocol/TextUtil.h"

namespace davu::server {

namespace {

using davu::proto::FieldList;

}  // namespace

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

void RequestHandler::handleMessage(std::string_view tag, char sep, std::string_view body,
                                   Session& s, std::vector<Reply>& out) {
  using davu::proto::BuildMessage;
  const bool expectDollar = tag == "EXECSQL";
  if ((sep == '$') != expectDollar || sep == '~') {
    refuse(tag, "okänd begäran " + WireToUtf8(tag) + ". Uppdatera servern eller klienten.", s, out);
    return;
  }
  try {
    const FieldList f(body, sep);
    if (tag == "GETSERVERVERSION") {
      s.clientName = WireToUtf8(f.field(0));
      const auto type = davu::proto::ParseWholeNumber(f.field(1));
      s.clientType = type ? static_cast<int>(*type) : -1;
      s.introduced = true;
      out.push_back({BuildMessage("RETSERVERVERSION", ':', {config_.version}), 0});
    } else if (tag == "GETKLINIKNAMN") {
      std::string name = Utf8ToWire(db_.meta("KLINIKNAMN"));
      out.push_back({BuildMessage("RETKLINIKNAMN", ':', {davu::proto::FieldText(name, ':')}), 0});
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
      out.push_back({davu::proto::EncodeSmsSettings(
                         {Utf8ToWire(a.userName), Utf8ToWire(a.password), Utf8ToWire(a.customerNo)}),
                     0});
    } else if (tag == "GETINITEXT") {
      std::string_view address = f.field(0);
      if (!address.empty() && address.front() == '\\') address.remove_prefix(1);
      auto v = store_.setting(WireToUtf8(address), WireToUtf8(f.field(1)));
      std::string value = v ? davu::proto::NeutralText(Utf8ToWire(*v)) : std::string();
      out.push_back({BuildMessage("RETINITEXT", ':', {value}), 0});
    } else if (RegisterChanges::isChange(tag)) {
      if (deferred_) {
        deferred_->change = ChangeWork{std::string(tag), sep, std::string(body)};
        return;
      }
      if (auto why = changes_.apply(tag, sep, body)) throw Refusal(*why);
    } else if (tag == "OPENSQL" || tag == "EXECSQL") {
      // The client name runs to the first separator; the SQL text is the rest
      // and may hold the separator itself (times of day).
      std::size_t cut = body.find(sep);
      std::string_view sql = cut == std::string_view::npos ? std::string_view() : body.substr(cut + 1);
      std::string sqlUtf8 = WireToUtf8(sql);
      if (deferred_) {
        deferred_->sql = SqlWork{tag == "EXECSQL", std::move(sqlUtf8), s.peer.substr(0, s.peer.rfind(':'))};
        return;
      }
      SqlOutcome r = tag == "OPENSQL" ? gate_.openSql(sqlUtf8, davu::proto::RetSqlHead())
                                      : gate_.execSql(sqlUtf8);
      if (!r.ok) throw Refusal(r.error);
      if (tag == "OPENSQL") {
        r.rows += davu::proto::RetSqlTail();
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

namespace {

davu::proto::CallableRecord ToRecord(const Callable& c) {
  return {Utf8ToWire(c.name), c.lopnr, Utf8ToWire(c.fullName), c.colour, c.sendSms,
          Utf8ToWire(c.mobile), c.active};
}

}  // namespace

std::string RequestHandler::getCallList(const FieldList& f) {
  // Each resource with its position and the client's number and name.
  std::vector<davu::proto::CallListEntry> entries;
  std::string_view who = f.field(0);
  if (who != davu::proto::kAdminClientName) {
    std::string name = WireToUtf8(who);
    auto st = store_.stationByName(name);
    if (st) {
      std::int64_t pos = 0;
      for (const Callable& c : store_.stationCallables(name))
        entries.push_back({ToRecord(c), pos++, st->lopnr, Utf8ToWire(st->name)});
    }
  }
  return davu::proto::EncodeCallList(entries);
}

std::string RequestHandler::allCallables() {
  std::vector<davu::proto::CallableRecord> records;
  for (const Callable& c : store_.callables()) records.push_back(ToRecord(c));
  return davu::proto::EncodeAllCallables(records);
}

std::string RequestHandler::allMachines() {
  std::vector<davu::proto::MachineRecord> records;
  for (const Station& st : store_.stations()) {
    bool on = connected_ && connected_(st.name);
    records.push_back({Utf8ToWire(st.name), st.lopnr, Utf8ToWire(st.friendlyName), st.color,
                       st.clientType, on, Utf8ToWire(st.imei), Utf8ToWire(st.extraText)});
  }
  return davu::proto::EncodeAllMachines(records);
}

std::string RequestHandler::stationCallables(const FieldList& f) {
  std::vector<std::int64_t> lopnrs;
  for (const Callable& c : store_.stationCallables(WireToUtf8(f.field(0)))) lopnrs.push_back(c.lopnr);
  return davu::proto::EncodeStationCallables(lopnrs);
}

void RequestHandler::programFileReplies(const FieldList& f,
                                        std::vector<Reply>& out) {
  if (config_.updateDir.empty())
    throw Refusal("servern har ingen katalog med programfiler (starta davu-server med --update-dir).");
  std::string name = WireToUtf8(f.field(0));
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
