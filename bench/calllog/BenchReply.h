#pragma once
// The statistics reply the call-log benchmarks measure: rows of eight
// clients and eight resources with Swedish letters, calls spread over May,
// four of five confirmed 95 to 494 seconds later, one in seven with SMS.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

const char* const kClients[] = {"Reception V\xE5rdcentralen Norra",   "Lab 2 provtagning plan 3",
                                "Mottagning \xD6ron-N\xE4sa-Hals",       "R\xF6ntgen v\xE4ntrum B",
                                "Barnmottagningen entr\xE9 v\xE4st",     "Akuten sk\xE4rm 3",
                                "Provtagningen v\xE4ntrum 1",            "Kallelseklient Reception 2"};
const char* const kResources[] = {"Rum 1 Allm\xE4nmedicin",            "Dr Anna Andersson, rum 214",
                                  "Sk\xF6terska Lena \xC5" "berg, rum 12", "Provtagning lucka 4",
                                  "Dr Per \xD6stlund, rum 108",          "Laboratoriet plan 3, lucka 2",
                                  "Sjukgymnast Eva Nilsson, sal 2",     "Kurator Maria Lind, rum 5"};

std::string Stamp(int row, int offsetSeconds) {
  const int secondOfMonth = (row * 37 + offsetSeconds) % (30 * 86400);
  char buf[32];
  std::snprintf(buf, sizeof buf, "2024-05-%02d %02d:%02d:%02d", 1 + secondOfMonth / 86400,
                secondOfMonth / 3600 % 24, secondOfMonth / 60 % 60, secondOfMonth % 60);
  return buf;
}

// "¤RETSQL:" + one piece per row + ":" as the dispatcher cuts it.
std::string MakeReply(int rows) {
  std::string p;
  p.reserve(static_cast<std::size_t>(rows) * 175 + 16);
  p += "\xA4RETSQL:";
  for (int r = 0; r < rows; ++r) {
    p += "\xA4%FRIENDLYNAME|";
    p += kClients[r % 8];
    p += "~FULLNAME|";
    p += kResources[(r / 3) % 8];
    p += "~CALLTSTAMP|";
    p += Stamp(r, 0);
    p += "~CONFIRMTSTAMP|";
    if (r % 5 != 0) p += Stamp(r, 95 + r % 400);
    p += "~SMSSENT|";
    p += (r % 7 == 0) ? "-1" : "0";
    p += "~%\xA4:";
  }
  return p;
}

template <typename F>
double BestSeconds(int runs, F&& f) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = Clock::now();
    f();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
  }
  return best;
}

}  // namespace
