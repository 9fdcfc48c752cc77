// What the window shows when the program starts.
#pragma once

#include "app/window_state.h"

namespace pindlewick {

// The initial texts of every control. The save folder is the folder
// "PR教程" under the user's home (HOME), ending with a separator, since the
// folder text is put in front of each file name as it stands.
WindowState::Snapshot initialWindowState();

// The parse service's base address this build ships with.
Text defaultServiceBase();

}  // namespace pindlewick
