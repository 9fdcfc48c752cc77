// What the window shows when the program starts.
#pragma once

#include <optional>
#include <string>

#include "app/part_resolver.h"
#include "app/window_state.h"

namespace pindlewick {

// The initial texts of every control. The save folder is the folder
// "PR教程" under the user's home (HOME), ending with a separator, since the
// folder text is put in front of each file name as it stands.
WindowState::Snapshot initialWindowState();

// Where parts are resolved: the parse service given (or the one this build
// ships with, none by default), else the site's API at the base given (or
// its own address).
PartSource partSourceFor(const std::optional<std::string>& serviceBase,
                         const std::optional<std::string>& siteBase);

}  // namespace pindlewick
