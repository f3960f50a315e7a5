#pragma once
// Swedish message boxes, questions and the shared balloon. All go through
// platform::dialogs(), so tests script the answers.
#include <QPoint>
#include <QString>
#include <cstdint>

class QWidget;

void ShowInfoHint(const QString& text, QWidget* control);
void ShowInfoHintAt(const QString& text, QPoint screenPos);
void ShowInfoMessage(const QString& text);
// 6 for yes; every other answer counts as no.
int AskYesNo(const QString& text);
void LocaliseDialogTexts();

// Black or white per channel for text over `colour` (0x00BBGGRR).
std::uint32_t ContrastColor(std::uint32_t colour);
// True for a dotted IPv4 address, judged by its first four parts.
bool IsIPAddress(const QString& text);

inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;
