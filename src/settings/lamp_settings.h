// The settings record shared by the user-interface thread and the worker.
#pragma once

#include <atomic>

class CKeyboardLed;

// Every value is an atomic so that the worker, which reads each one afresh at
// every use, sees the old or the new value and never a torn one.
struct LampSettingsRecord {
    std::atomic<int> useKeyboardLed{1};
    std::atomic<int> useReceiveLed{1};
    std::atomic<int> useSendLed{1};
    std::atomic<CKeyboardLed*> receiveLed;
    std::atomic<CKeyboardLed*> sendLed;
    std::atomic<int> serialPortNum{1};
    std::atomic<int> useSerialLed{0};
    std::atomic<int> ledInversion{0};

    constexpr LampSettingsRecord(CKeyboardLed* receive, CKeyboardLed* send)
        : receiveLed(receive), sendLed(send) {}
};

// A switch counts as on only when it equals 1.
inline bool IsOn(int value) {
    return value == 1;
}
