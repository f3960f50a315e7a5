// The update folder's file serving: GETNEWCLIENT with any file name. A small
// folder holds a program file, a file with a frame marker and a subfolder;
// beside the folder lies a file that must never be served. Oracles: only a
// plain file directly in the folder is ever sent, and only when asked for by
// its exact name; every reply is well framed.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "ReplyOracle.h"
#include "protocol/Envelope.h"
#include "server/RequestHandler.h"
#include "server/ServerText.h"

using namespace davu::server;
using davu::fuzz::Require;

namespace {
void Write(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) std::abort();
}

struct World {
  World() {
    if (!root.isValid()) std::abort();
    const QString dir = root.filePath("update");
    QDir().mkpath(dir + "/sub");
    Write(root.filePath("secret"), "SECRET-OUTSIDE");
    Write(dir + "/DAVUAdmin.exe", "MZ PROGRAM-A");
    Write(dir + "/marked.exe", "MZ #DATAEND# MARKED");
    Write(dir + "/sub/inner", "SECRET-INNER");
    std::string error;
    db = Database::open(":memory:", &error);
    if (!db) std::abort();
    ServerConfig config;
    config.updateDir = dir.toStdString();
    config.programFilePauseMs = 0;
    handler = std::make_unique<RequestHandler>(*db, config);
  }
  QTemporaryDir root;
  std::unique_ptr<Database> db;
  std::unique_ptr<RequestHandler> handler;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static World world;
  // One request: a "¤" in the name would end it and could start another one
  // that asks for a file by its right name.
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::replace(bytes.begin(), bytes.end(), '\xA4', '?');
  const std::string_view name = bytes;
  const std::string request = "\xA4GETNEWCLIENT:" + bytes + ":PC1:2:GETNEWCLIENT\xA4";
  Session session;
  std::string served;
  for (const Reply& r : world.handler->handleText(request, session)) {
    Require(davu::fuzz::WellFramed(r.bytes), "reply not well framed", r.bytes);
    if (r.bytes.starts_with("#DATASTART#")) served += r.bytes;
    if (r.file) served += r.file->read(0, r.file->size());
  }
  Require(served.find("SECRET") == std::string::npos, "a file outside the folder was served", name);
  Require(served.find("MARKED") == std::string::npos, "a file with a frame marker was served", name);
  if (served.find("PROGRAM-A") != std::string::npos) {
    // The name as the server reads it: the first field, without blanks.
    std::string_view field = name.substr(0, name.find(':'));
    Require(davu::server::WireToUtf8(field).find("DAVUAdmin.exe") != std::string::npos,
            "a file was served for another name", name);
  }
  return 0;
}
