#pragma once
// A hand-made report of 24 calls from 2024-05-30 to 2024-06-02 (across a
// month end), whose figures the report tests work out by hand:
//
//   Rum 1        6 calls, 5 confirmed after 60, 120, 300, 120 (23:59 to
//                00:01 the next day and month) and 600 s, 2 with SMS;
//                median 120 (odd count), 90th percentile 600
//   Rum 2        6 calls, 4 confirmed after 30, 60, 90 and 245 s, 3 with SMS;
//                median 75 (even count), 90th percentile 245
//   Dr "Bo"; Ek  2 calls, none confirmed (a name holding '"' and ';')
//   Rum 3        10 calls on 2024-06-01 from 11:00, one a minute, confirmed
//                after 10, 20, ... 100 s; median 55, 90th percentile 90
//   Reception    12 calls, 10 confirmed, median 80, 90th 245, longest 600
//   Lab          12 calls, 9 confirmed, median 60, 90th 300, longest 300
//   All          24 calls, 19 confirmed, 5 SMS, median 70, 90th 300, longest 600
#include <QDate>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "calllog/ReportRows.h"
#include "common/WireText.h"

namespace fixture {

struct Call {
  QString client, resource, called, confirmed, sms;
};

inline const QString kDr = QStringLiteral("Dr \"Bo\"; Ek");

inline std::vector<Call> Calls() {
  std::vector<Call> c = {
      {"Reception", "Rum 1", "2024-05-30 08:00:00", "2024-05-30 08:01:00", "0"},
      {"Reception", "Rum 1", "2024-05-30 08:10:00", "2024-05-30 08:12:00", "Ja"},
      {"Lab", "Rum 1", "2024-05-31 09:00:00", "2024-05-31 09:05:00", "0"},
      {"Lab", "Rum 1", "2024-05-31 23:59:00", "2024-06-01 00:01:00", "0"},
      {"Reception", "Rum 1", "2024-06-01 10:00:00", "2024-06-01 10:10:00", "-1"},
      {"Reception", "Rum 1", "2024-06-01 10:30:00", "", "Nej"},
      {"Lab", "Rum 2", "2024-05-30 13:00:00", "2024-05-30 13:00:30", "1"},
      {"Lab", "Rum 2", "2024-05-30 13:20:00", "2024-05-30 13:21:00", "True"},
      {"Reception", "Rum 2", "2024-06-02 14:00:00", "2024-06-02 14:01:30", "0"},
      {"Reception", "Rum 2", "2024-06-02 14:05:00", "2024-06-02 14:09:05", "False"},
      {"Lab", "Rum 2", "2024-06-02 15:00:00", "", "j"},
      {"Lab", "Rum 2", "2024-06-02 15:30:00", "", "0"},
      {"Reception", kDr, "2024-05-31 08:00:00", "", "0"},
      {"Lab", kDr, "2024-05-31 08:30:00", "", "0"},
  };
  for (int i = 0; i < 10; ++i) {
    const QDateTime at(QDate(2024, 6, 1), QTime(11, i));
    c.push_back({i % 2 ? "Lab" : "Reception", "Rum 3", at.toString("yyyy-MM-dd HH:mm:ss"),
                 at.addSecs(10 * (i + 1)).toString("yyyy-MM-dd HH:mm:ss"), "0"});
  }
  return c;
}

inline davu::ReportChoices Choices() {
  davu::ReportChoices c;
  c.from = QDate(2024, 5, 30);
  c.to = QDate(2024, 6, 2);
  c.clinic = QStringLiteral("Vårdcentralen Norr");
  return c;
}

inline std::shared_ptr<davu::ReportRows> Rows(const std::vector<Call>& calls = Calls(),
                                        const davu::ReportChoices& choices = Choices()) {
  auto rows = std::make_shared<davu::ReportRows>(choices);
  for (const Call& c : calls)
    rows->append(davu::ToWire(c.client), davu::ToWire(c.resource), davu::ToWire(c.called), davu::ToWire(c.confirmed), davu::ToWire(c.sms));
  return rows;
}

// The rows as RETSQL row pieces in the statistics window's columns.
inline QStringList Pieces(const std::vector<Call>& calls = Calls()) {
  QStringList pieces;
  for (const Call& c : calls)
    pieces << "FRIENDLYNAME|" + c.client + "~FULLNAME|" + c.resource + "~CALLTSTAMP|" + c.called +
                  "~CONFIRMTSTAMP|" + c.confirmed + "~SMSSENT|" + c.sms + "~";
  return pieces;
}

}  // namespace fixture
