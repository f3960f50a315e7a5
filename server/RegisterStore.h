#pragma once
// The system register on the server: resources (CALLABLES), clients
// (STATIONS), the ordered resources of each client, the settings texts and the
// SMS account. All texts are UTF-8. Every change runs in its own transaction,
// committed before the call returns.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "server/ServerDatabase.h"

namespace davu::server {

struct Callable {
  std::int64_t lopnr = -1;
  std::string name;
  std::string fullName;
  std::int64_t colour = 16777215;
  bool sendSms = false;
  std::string mobile;
  bool active = true;
};

struct Station {
  std::int64_t lopnr = -1;
  std::string name;
  std::string friendlyName;
  std::int64_t color = 16777215;
  int clientType = 0;
  std::string imei;
  std::string extraText;
};

struct SmsAccount {
  std::string userName;
  std::string password;
  std::string customerNo;
};

// A change that cannot be made; what() is a message for the administrator.
class RegisterError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class RegisterStore {
 public:
  explicit RegisterStore(Database& db) : db_(db) {}

  // Resources and clients that have not been deleted, in the order they were made.
  std::vector<Callable> callables() const;
  std::vector<Station> stations() const;
  std::optional<Station> stationByName(const std::string& name) const;
  // The resources chosen for a client, in their order; empty for an unknown client.
  std::vector<Callable> stationCallables(const std::string& stationName) const;

  // Each record with lopnr -1 is added; the others are changed. All or nothing.
  void saveCallables(const std::vector<Callable>& records);
  // Deleted resources stay in the table for the call log's sake, hidden from lists.
  void deleteCallable(std::int64_t lopnr);
  // Returns the client's number.
  std::int64_t saveStation(const Station& s);
  void deleteStation(const std::string& name);
  // Replaces the client's resources and their order. Unknown resources are skipped.
  void setStationCallables(std::int64_t stationLopnr, const std::vector<std::int64_t>& lopnrs);

  // Settings texts by address (machine\section or section) and key. What a
  // client may store is bounded: a setting that would pass a limit is not
  // saved (RegisterError says which limit).
  static constexpr std::size_t kMaxSettingValueBytes = 64u * 1024u;
  static constexpr std::size_t kMaxSettingNameChars = 1024;  // section and key, as in the registry
  static constexpr std::int64_t kMaxKeysPerSection = 1000;
  static constexpr std::int64_t kMaxSettings = 100000;
  std::optional<std::string> setting(const std::string& address, const std::string& key) const;
  void setSetting(const std::string& address, const std::string& key, const std::string& value);

  SmsAccount smsAccount() const;
  void setSmsAccount(const SmsAccount& a);

 private:
  Database& db_;
};

}  // namespace davu::server
