#pragma once
// The edge between wire bytes (Windows-1252) and Qt text.
#include <QString>
#include <string>
#include <string_view>

QString FromWire(std::string_view bytes);
std::string ToWire(const QString& text);
