// A second process for the named-mutex tests.
//   kestrova_mutex_probe NAME try MS   prints "held" (exit 0) or "busy" (exit 1)
//   kestrova_mutex_probe NAME hold     takes the mutex, prints "held", waits to be killed
#include "foundation/uMutex.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 3)
        return 2;
    uMutex mutex(argv[1]);
    bool hold = std::strcmp(argv[2], "hold") == 0;
    bool held = mutex.getState() == uMutex::kStateHeld;
    if (!held)
        held =
            (hold ? mutex.lock() : mutex.lockFor(argc > 3 ? std::atoi(argv[3]) : 0, 0)) == uMutex::kErrorNone;
    std::printf("%s\n", held ? "held" : "busy");
    std::fflush(stdout);
    while (hold && held)
        ::pause();
    return held ? 0 : 1;
}
