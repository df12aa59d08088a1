#include "bench/soak/ProcessFigures.h"

#include <dirent.h>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

namespace soak {

int openDescriptors()
{
    DIR* d = ::opendir("/proc/self/fd");
    if (!d)
        return -1;
    int n = 0;
    while (::readdir(d))
        ++n;
    ::closedir(d);
    return n - 3; // ".", ".." and the listing's own descriptor
}

long rssKiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * ::sysconf(_SC_PAGESIZE) / 1024;
}

long peakRssKiB()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

} // namespace soak
