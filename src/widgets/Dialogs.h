#pragma once
// Swedish message boxes, questions and the shared balloon. All go through
// davu::platform::dialogs(), so tests script the answers.
#include <QPoint>
#include <QString>
#include <cstdint>

class QWidget;

// The shared balloon at the middle of the control's bottom edge, or at a
// screen point. Kinds: 1 error, 2 information, 3 question, other information.
void ShowBalloonHint(const QString& title, const QString& text, QWidget* control, int displayMs,
                     int kind);
void ShowBalloonHintAt(const QString& title, const QString& text, QPoint screenPos, int displayMs,
                       int kind);
// Balloons titled "Information", kind 2, shown for 5000 ms.
void ShowInfoHint(const QString& text, QWidget* control);
void ShowInfoHintAt(const QString& text, QPoint screenPos);
void ShowInfoMessage(const QString& text);
// 6 for yes; every other answer counts as no.
int AskYesNo(const QString& text);
void LocaliseDialogTexts();

namespace davu {

// The 0x00BBGGRR value of a colour; a system colour (high byte 0xFF, its
// index in the low byte) is taken from the current palette.
std::uint32_t ResolveColour(std::uint32_t colour);

}  // namespace davu

// Black or white per channel for text over `colour` (0x00BBGGRR).
std::uint32_t ContrastColor(std::uint32_t colour);
// True for a dotted IPv4 address, judged by its first four parts.
bool IsIPAddress(const QString& text);

namespace davu {

inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

}  // namespace davu
