// Waiting for a condition rather than for a fixed time.
#pragma once

#include <chrono>
#include <thread>

namespace testsupport {

// Polls condition every few milliseconds until it holds or the time is up.
template <typename Condition>
bool WaitFor(Condition condition, std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

}  // namespace testsupport
