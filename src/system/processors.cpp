#include "system/system.h"

#include <thread>

#ifdef __linux__
#include <sched.h>
#endif

int usable_processors() {
#ifdef __linux__
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0) return CPU_COUNT(&set);
#endif
    return static_cast<int>(std::thread::hardware_concurrency());
}
