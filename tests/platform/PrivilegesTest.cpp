// Capabilities a program was started with are given up, unless it runs as root.
#include "platform/Privileges.h"

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool AnyCapability() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2]{};
    ::syscall(SYS_capget, &header, data);
    for (const auto& set : data)
        if (set.permitted != 0 || set.effective != 0 || set.inheritable != 0)
            return true;
    return false;
}

TEST(Privileges, StartCapabilitiesAreGivenUpButNotByRoot) {
    if (::getuid() != 0 || !AnyCapability())
        GTEST_SKIP() << "needs root with capabilities to start an ordinary user holding some";
    const struct {
        const char* what;
        bool becomeUser, keepCaps;
        int held, left; // exit code bits: DropStartCapabilities' result, capabilities after
    } rows[] = {{"an ordinary user with capabilities", true, true, 1, 0},
                {"an ordinary user without any", true, false, 0, 0},
                {"root keeps them", false, false, 0, 1}};
    for (const auto& row : rows) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (row.becomeUser) {
                ::prctl(PR_SET_KEEPCAPS, row.keepCaps ? 1 : 0, 0, 0, 0);
                if (::setresuid(65534, 65534, 65534) != 0)
                    ::_exit(9);
            }
            const bool held = platform::DropStartCapabilities();
            ::_exit((held ? 1 : 0) | (AnyCapability() ? 2 : 0));
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status)) << row.what;
        EXPECT_EQ(WEXITSTATUS(status), row.held | row.left << 1) << row.what;
    }
}

} // namespace
