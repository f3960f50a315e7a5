#pragma once
// The requests the server understands on the main connection: tag and
// separator of each, in one table the server dispatches from.
//   request := "¤" TAG SEP body SEP TAG "¤"
#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

#include "protocol/Replies.h"

namespace davu::proto {

// A request by its place in kRequests.
struct Request {
  enum Kind : std::size_t {
    GetServerVersion,
    GetKlinikNamn,
    GetCallList,
    GetAllCallables,
    GetAllMachines,
    GetStationCallables,
    GetSmsSettings,
    GetIniText,
    SetIniText,
    PostSmsSettings,
    RegisterUpdateCallable,
    RegisterUpdateMachine,
    PostCallablesList,
    OpenSql,
    ExecSql,
    GetNewClient,
    Count
  };
};

// The tags are the wire's own, misspellings included ("UPATE").
inline constexpr std::array<ReplyKind, Request::Count> kRequests{{
    {"GETSERVERVERSION", ':'},
    {"GETKLINIKNAMN", ':'},
    {"GETCALLLIST", ':'},
    {"GETALLCALLABLES", ':'},
    {"GETALLMACHINES", ':'},
    {"GETSTATIONCALLABLES", ':'},
    {"GETSMSSETTINGS", ':'},
    {"GETINITEXT", ':'},
    {"SETINITEXT", ':'},
    {"POSTSMSSETTINGS", ':'},
    {"REGISTERUPATECALLABLE", ':'},
    {"REGISTERUPATEMACHINE", ':'},
    {"POSTCALLABLESLIST", ':'},
    {"OPENSQL", ':'},
    {"EXECSQL", '$'},  // the SQL text holds ":" in times of day
    {"GETNEWCLIENT", ':'},
}};
static_assert(kRequests[Request::GetServerVersion].tag == "GETSERVERVERSION");
static_assert(kRequests[Request::GetKlinikNamn].tag == "GETKLINIKNAMN");
static_assert(kRequests[Request::GetCallList].tag == "GETCALLLIST");
static_assert(kRequests[Request::GetAllCallables].tag == "GETALLCALLABLES");
static_assert(kRequests[Request::GetAllMachines].tag == "GETALLMACHINES");
static_assert(kRequests[Request::GetStationCallables].tag == "GETSTATIONCALLABLES");
static_assert(kRequests[Request::GetSmsSettings].tag == "GETSMSSETTINGS");
static_assert(kRequests[Request::GetIniText].tag == "GETINITEXT");
static_assert(kRequests[Request::SetIniText].tag == "SETINITEXT");
static_assert(kRequests[Request::PostSmsSettings].tag == "POSTSMSSETTINGS");
static_assert(kRequests[Request::RegisterUpdateCallable].tag == "REGISTERUPATECALLABLE");
static_assert(kRequests[Request::RegisterUpdateMachine].tag == "REGISTERUPATEMACHINE");
static_assert(kRequests[Request::PostCallablesList].tag == "POSTCALLABLESLIST");
static_assert(kRequests[Request::OpenSql].tag == "OPENSQL");
static_assert(kRequests[Request::ExecSql].tag == "EXECSQL");
static_assert(kRequests[Request::GetNewClient].tag == "GETNEWCLIENT");

// The request a tag and separator name; none for an unknown tag or a known
// tag with the wrong separator.
constexpr std::optional<Request::Kind> FindRequest(std::string_view tag, char sep) {
  for (std::size_t i = 0; i < kRequests.size(); ++i)
    if (kRequests[i].tag == tag) {
      if (kRequests[i].sep != sep) return std::nullopt;
      return static_cast<Request::Kind>(i);
    }
  return std::nullopt;
}

// The requests that change the register or the settings; they have no reply
// of their own.
constexpr bool IsChangeRequest(Request::Kind k) {
  return k >= Request::SetIniText && k <= Request::PostCallablesList;
}

}  // namespace davu::proto
