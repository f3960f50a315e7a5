// The server's request handling on arbitrary bytes: reassembly as the
// connection does it (the first byte picks the read size), then the request
// handler on a demo database in memory, one message at a time. Oracles:
// every reply is well framed; a refused request changes nothing in the
// database; no request takes longer than a bound.
#include <QDateTime>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "ReplyOracle.h"
#include "protocol/Reassembler.h"
#include "server/DemoData.h"
#include "server/RequestHandler.h"

using namespace davu::server;
using davu::fuzz::DbMark;
using davu::fuzz::Require;

namespace {
struct World {
  World() {
    std::string error;
    db = Database::open(":memory:", &error);
    if (!db) std::abort();
    FillDemoData(*db, QDateTime(QDate(2024, 5, 3), QTime(10, 0)));
    ServerConfig config;
    config.updateDir = "/nonexistent-davu-update-dir";
    handler = std::make_unique<RequestHandler>(*db, config);
    handler->sqlGate().setTimeLimit(std::chrono::milliseconds(50));
    handler->sqlGate().setReplyLimit(1u << 20);
  }
  std::unique_ptr<Database> db;
  std::unique_ptr<RequestHandler> handler;
};

// Generous against the 50 ms limit: a bound, not a benchmark.
constexpr auto kMaxPerRequest = std::chrono::milliseconds(1500);
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static World world;
  if (size == 0) return 0;
  const std::size_t step = 1 + data[0] % 64;
  std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  davu::proto::Reassembler input(64 * 1024);
  Session session;
  for (std::size_t i = 0; i < bytes.size(); i += step) {
    auto text = input.feed(bytes.substr(i, step));
    if (input.overflowed() || !text) continue;
    std::size_t pos = 0;
    while (pos != std::string_view::npos) {
      std::vector<Reply> out;
      const DbMark before(world.db->handle());
      const auto start = std::chrono::steady_clock::now();
      pos = world.handler->handleNext(*text, pos, session, out, nullptr);
      Require(std::chrono::steady_clock::now() - start < kMaxPerRequest, "a request took too long");
      bool refused = false;
      for (const Reply& r : out) {
        Require(davu::fuzz::WellFramed(r.bytes), "reply not well framed", r.bytes);
        refused = refused || r.bytes.starts_with("ERROR: ");
      }
      if (refused) Require(DbMark(world.db->handle()) == before, "a refused request changed the database");
    }
  }
  return 0;
}
