#pragma once
#include <QPoint>
#include <QString>
#include <functional>
#include <memory>

#include "common/platform/Platform.h"

namespace davu::platform {
// Shows the shared balloon: title, text, screen point, display time, kind.
using BalloonShow = std::function<void(const QString& title, const QString& text, QPoint screenPos,
                                       int displayMs, int kind)>;
// Real Swedish message boxes and colour picker; balloons go to `showBalloon`,
// since the balloon belongs to the common window, a user of this seam.
std::unique_ptr<Dialogs> MakeRealDialogs(BalloonShow showBalloon);
}  // namespace davu::platform
