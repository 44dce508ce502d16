#pragma once

// The home folder rules live with the settings, so that front ends without Qt share them.
#include "settings/AppPaths.h"

namespace mainview {
using settings::AppPaths;
using settings::ChangeFileExt;
using settings::PrepareHome;
using settings::ResolvePaths;
} // namespace mainview
