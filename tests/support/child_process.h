// Running part of a test in a forked child: as another user (root drops to
// nobody, since file permissions do not hold root back), under a resource
// limit, or in a mount namespace of its own.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace rivek::testing {

inline constexpr unsigned kNobody = 65534;
// What a child answers when it cannot set up the world it needs.
inline constexpr int kChildSkipped = 77;

inline bool IsRoot() { return ::geteuid() == 0; }

// Runs `body` in a forked child and returns its exit status (`body`'s
// result), or -1 when the child died. With `asNobody`, a root child first
// drops to uid and gid 65534, or answers kChildSkipped when it cannot.
inline int RunInChild(const std::function<int()>& body, bool asNobody) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        if (asNobody && IsRoot()) {
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
                ::_exit(kChildSkipped);
            }
        }
        ::_exit(body());
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace rivek::testing
