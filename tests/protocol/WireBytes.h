#pragma once
// Test helpers: wire bytes written as readable text (WireLiteral.h), and
// readable failure output for byte strings.
#include <QByteArray>
#include <QString>
#include <string>
#include <string_view>

#include "WireLiteral.h"

// Byte strings shown with 0xA4 as "¤" when a comparison fails.
inline QString Show(std::string_view bytes) {
  QString s;
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if (b == 0xA4) s += QChar(0x00A4);
    else if (b >= 32 && b < 127) s += QChar(b);
    else s += QStringLiteral("\\x%1").arg(b, 2, 16, QChar('0'));
  }
  return s;
}

#define QCOMPARE_BYTES(actual, expected) QCOMPARE(Show(actual), Show(expected))
