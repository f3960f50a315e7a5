// The server's request handling on arbitrary bytes: reassembly as the
// connection does it (the first byte picks the read size), then the request
// handler on a demo database in memory. Every reply must be a whole message,
// a frame or an error text.
#include <QDateTime>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "RequestHandler.h"
#include "DemoData.h"
#include "protocol/Reassembler.h"

using namespace davu::server;

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
    for (const Reply& r : world.handler->handleText(*text, session)) {
      std::string_view b = r.bytes;
      bool shaped = b.starts_with("\xA4") || b.starts_with("ERROR: ") ||
                    b.starts_with("#DATASTART#") || b.starts_with(":RETNEWCLIENT");
      if (!shaped) std::abort();
    }
  }
  return 0;
}
