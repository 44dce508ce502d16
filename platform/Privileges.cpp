#include "platform/Privileges.h"

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

bool DropStartCapabilities() {
    if (::getuid() == 0)
        return false;
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    if (::syscall(SYS_capget, &header, data) != 0)
        return false;
    bool held = false;
    for (const auto& set : data)
        held = held || set.permitted != 0 || set.effective != 0 || set.inheritable != 0;
    if (!held)
        return false;
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    __user_cap_data_struct none[2]{};
    ::syscall(SYS_capset, &header, none);
    return true;
}

} // namespace platform
