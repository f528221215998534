#pragma once
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace krvs {

// A named step of a file operation at which the crash trials kill the program.
// When the environment variable KRVS_CRASH_AT names this step ("name", or "name:n"
// for the n-th time the step is reached), the process writes a line to its error
// output and is killed with SIGKILL on the spot, the way a power cut or the task
// manager would stop it. Unset, it costs one cached look-up.
inline void crashPoint(const char* name) {
    static const char* const target = std::getenv("KRVS_CRASH_AT");
    if (!target || !*target) return;
    const char* colon = std::strchr(target, ':');
    const std::size_t len = colon ? static_cast<std::size_t>(colon - target) : std::strlen(target);
    if (std::strlen(name) != len || std::strncmp(name, target, len) != 0) return;
    static long reached = 0;
    const long wanted = colon ? std::atol(colon + 1) : 1;
    if (++reached < wanted) return;
    std::fprintf(stderr, "crash point reached: %s\n", target);
    std::fflush(stderr);
    ::kill(::getpid(), SIGKILL);
    for (;;)
        ::pause();
}

} // namespace krvs
