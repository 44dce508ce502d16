#include "tests/support/Scratch.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/mount.h>
#include <unistd.h>

namespace testsupport {

bool MakeScratch(std::string& dir, std::string& error) {
    char path[] = "/tmp/zw-scratch-XXXXXX";
    if (!::mkdtemp(path)) {
        error = std::string("mkdtemp: ") + std::strerror(errno);
        return false;
    }
    if (::mount("zw-scratch", path, "tmpfs", MS_NOSUID | MS_NODEV, "size=1m,mode=0755") != 0) {
        error = std::string("mounting a tmpfs: ") + std::strerror(errno);
        ::rmdir(path);
        return false;
    }
    dir = path;
    return true;
}

void DropScratch(const std::string& dir) {
    ::umount2(dir.c_str(), MNT_DETACH);
    ::rmdir(dir.c_str());
}

} // namespace testsupport
