// The floor of a 5-wake-up-per-second rhythm: a process whose one thread does
// nothing but sleep 200 ms at a time. The measuring script runs it beside
// velumin and compares their CPU time over the same minute.
#include <time.h>

#include <thread>

int main() {
    std::thread sleeper([] {
        const timespec period{0, 200'000'000L};
        for (;;) {
            clock_nanosleep(CLOCK_MONOTONIC, 0, &period, nullptr);
        }
    });
    sleeper.join();
}
