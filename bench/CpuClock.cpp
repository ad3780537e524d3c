#include "CpuClock.h"

#ifdef _WIN32
#include "platform/win32/Win32Api.h"
#else
#include <ctime>
#include <sys/resource.h>
#endif

#ifdef _WIN32

namespace {

double Ms(const FILETIME& kernel, const FILETIME& user)
{
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10'000.0;  // 100 ns units
}

}  // namespace

double ProcessCpuMs()
{
    FILETIME created, exited, kernel, user;
    return GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user) ? Ms(kernel, user) : 0;
}

double ThreadCpuMs()
{
    FILETIME created, exited, kernel, user;
    return GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user) ? Ms(kernel, user) : 0;
}

#else

double ProcessCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

#endif
