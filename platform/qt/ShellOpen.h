#pragma once

#include <functional>
#include <string>

namespace platform {

// The desktop's "open" verb: a web address goes to the browser, a "mailto:" text to the
// mail program. The outcome is not reported; callers do not examine it.
void ShellOpen(const std::string& target);

// Tests see the targets here instead of starting programs; an empty hook restores the
// desktop.
void SetShellOpenHook(std::function<void(const std::string& target)> hook);

} // namespace platform
