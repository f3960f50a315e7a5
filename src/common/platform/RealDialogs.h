#pragma once
#include <memory>

#include "Platform.h"

namespace platform {
// Real Swedish message boxes and the shared balloon.
std::unique_ptr<Dialogs> MakeRealDialogs();
}  // namespace platform
