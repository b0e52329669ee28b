#include "SystemUtilities.h"

#include <cstdio>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <ctime>
#include <unistd.h>
#endif

namespace wrendlehost
{

double threadCpuSeconds() noexcept
{
#if defined(_WIN32)
    FILETIME creation, exit, kernel, user;

    if (! GetThreadTimes (GetCurrentThread(), &creation, &exit, &kernel, &user))
        return 0.0;

    const auto ticks = [] (const FILETIME& t)
    { return (static_cast<unsigned long long> (t.dwHighDateTime) << 32) | t.dwLowDateTime; };

    return static_cast<double> (ticks (kernel) + ticks (user)) * 1.0e-7;
#else
    timespec now {};

    if (clock_gettime (CLOCK_THREAD_CPUTIME_ID, &now) != 0)
        return 0.0;

    return static_cast<double> (now.tv_sec) + static_cast<double> (now.tv_nsec) * 1.0e-9;
#endif
}

bool stderrIsTerminal() noexcept
{
#if defined(_WIN32)
    return _isatty (_fileno (stderr)) != 0;
#else
    return isatty (fileno (stderr)) != 0;
#endif
}

long currentProcessId() noexcept
{
#if defined(_WIN32)
    return static_cast<long> (_getpid());
#else
    return static_cast<long> (getpid());
#endif
}

#if defined(_WIN32)
#define WRENDLE_HOST_DUP _dup
#define WRENDLE_HOST_DUP2 _dup2
#define WRENDLE_HOST_CLOSE _close
#else
#define WRENDLE_HOST_DUP dup
#define WRENDLE_HOST_DUP2 dup2
#define WRENDLE_HOST_CLOSE close
#endif

StdoutDiversion::StdoutDiversion() noexcept
{
    std::fflush (stdout);
    savedStdout = WRENDLE_HOST_DUP (1);

    if (savedStdout >= 0 && WRENDLE_HOST_DUP2 (2, 1) < 0)
    {
        WRENDLE_HOST_CLOSE (savedStdout);
        savedStdout = -1;
    }
}

StdoutDiversion::~StdoutDiversion()
{
    if (savedStdout < 0)
        return;

    std::fflush (stdout);
    WRENDLE_HOST_DUP2 (savedStdout, 1);
    WRENDLE_HOST_CLOSE (savedStdout);
}

} // namespace wrendlehost
