// The floor of a 5-wake-up-per-second rhythm: a process whose one thread does
// nothing but sleep 200 ms at a time. The measuring script runs it beside
// velumin and compares their CPU time over the same minute. With a number of
// megabytes it first touches that much memory, as velumin's libraries occupy
// it, since on some machines each wake-up costs more in a larger process.
#include <time.h>

#include <cstdlib>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    const long megabytes = argc > 1 ? std::atol(argv[1]) : 0;
    std::vector<char> held(static_cast<std::size_t>(megabytes) << 20, 1);
    std::thread sleeper([] {
        const timespec period{0, 200'000'000L};
        for (;;) {
            clock_nanosleep(CLOCK_MONOTONIC, 0, &period, nullptr);
        }
    });
    sleeper.join();
    return held.empty() ? 0 : 1;
}
