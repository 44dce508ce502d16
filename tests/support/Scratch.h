#pragma once

#include <string>

namespace testsupport {

// A directory on a tmpfs of the process's own mount namespace, for files that are laid over
// system files. Leave it with DropScratch once the overlays are mounted: the mounts keep the
// files alive, nothing stays behind on the real file system, and (unlike a removed file) a
// file of a detached tmpfs can still have another file laid over it.
bool MakeScratch(std::string& dir, std::string& error);
void DropScratch(const std::string& dir);

} // namespace testsupport
