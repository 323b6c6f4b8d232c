// The activity lamp loop: poll, flash for 100 ms, darken, pause 100 ms.
#include "monitor/lamp_loop.h"

#include <chrono>
#include <thread>

#include "lamps/keyboard_led.h"
#include "lamps/serial_port.h"
#include "settings/lamp_settings.h"

namespace {

constexpr std::uint32_t kFlashMilliseconds = 100;
constexpr std::uint32_t kPauseMilliseconds = 100;

bool KeyboardLampOn(const LampSettingsRecord& settings, const std::atomic<int>& direction) {
    return IsOn(settings.useKeyboardLed) && IsOn(direction);
}

void ShowActivity(LampLoop& loop, std::uint8_t activity) {
    switch (activity) {
        case kReceiveActivity:
            loop.tray.Show(TrayLampState::Receive);
            DriveSerialLamp(loop.port, loop.settings, kDtrActive);
            break;
        case kSendActivity:
            loop.tray.Show(TrayLampState::Send);
            DriveSerialLamp(loop.port, loop.settings, kRtsActive);
            break;
        case kReceiveActivity | kSendActivity:
            loop.tray.Show(TrayLampState::Both);
            DriveSerialLamp(loop.port, loop.settings, kDtrActive);
            DriveSerialLamp(loop.port, loop.settings, kRtsActive);
            break;
        default:
            break;
    }
}

// The one place that decides the off state: every lamp that may have been lit,
// whichever direction was active, with the settings as they are now.
void DarkenLamps(LampLoop& loop) {
    LampSettingsRecord& settings = loop.settings;
    loop.tray.Show(TrayLampState::Idle);
    DriveSerialLamp(loop.port, settings, kDtrIdle);
    DriveSerialLamp(loop.port, settings, kRtsIdle);
    if (IsOn(settings.useKeyboardLed)) {
        if (IsOn(settings.useReceiveLed)) {
            settings.receiveLed.load()->Set(0);
        }
        if (IsOn(settings.useSendLed)) {
            settings.sendLed.load()->Set(0);
        }
    }
}

}  // namespace

std::uint8_t RunLampCycle(LampLoop& loop) {
    std::uint8_t activity = 0;
    std::uint32_t received = 0;
    std::uint32_t sent = 0;
    // A failed read says nothing about traffic: the last totals stay, nothing
    // flashes, and the next good read is compared with the last good one.
    if (loop.traffic.Query(received, sent)) {
        LampSettingsRecord& settings = loop.settings;
        if (received != loop.lastReceived) {
            activity |= kReceiveActivity;
            if (KeyboardLampOn(settings, settings.useReceiveLed)) {
                settings.receiveLed.load()->Set(1);
            }
            loop.lastReceived = received;
        }
        if (sent != loop.lastSent) {
            activity |= kSendActivity;
            if (KeyboardLampOn(settings, settings.useSendLed)) {
                settings.sendLed.load()->Set(1);
            }
            loop.lastSent = sent;
        }
    }
    if (activity == 0) {
        // Nothing is lit and nothing happens between the two waits, so one wait
        // of both lengths looks the same and wakes the thread half as often.
        loop.clock.Sleep(kFlashMilliseconds + kPauseMilliseconds);
        return activity;
    }
    ShowActivity(loop, activity);
    loop.clock.Sleep(kFlashMilliseconds);
    DarkenLamps(loop);
    loop.clock.Sleep(kPauseMilliseconds);
    return activity;
}

int RunLampLoop(LampLoop& loop) {
    while (loop.stopRequest.load() != 1) {
        RunLampCycle(loop);
    }
    loop.stopRequest.store(0);
    return 0;
}

int LampThreadProc(LampLoop* loop) {
    return RunLampLoop(*loop);
}

bool RequestLampLoopStop(LampLoop& loop, std::uint32_t timeoutMilliseconds) {
    loop.stopRequest.store(1);
    loop.clock.Wake();
    const auto start = std::chrono::steady_clock::now();
    while (loop.stopRequest.load() != 0) {
        if (std::chrono::steady_clock::now() - start >
            std::chrono::milliseconds(timeoutMilliseconds)) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

const LineLevel lineLevelTable[8] = {
    kClrDtr,  // DTR idle, normal
    kSetDtr,  // DTR idle, inverted
    kSetDtr,  // DTR active, normal
    kClrDtr,  // DTR active, inverted
    kClrRts,  // RTS idle, normal
    kSetRts,  // RTS idle, inverted
    kSetRts,  // RTS active, normal
    kClrRts,  // RTS active, inverted
};

LineLevel LineLevelAt(int base, int ledInversion) {
    // The ini file may hold anything here; only 1 inverts.
    return lineLevelTable[base + (ledInversion == 1 ? 1 : 0)];
}

void ApplySerialLamp(CSerialPort& port, const LampSettingsRecord& settings) {
    const int portNumber = IsOn(settings.useSerialLed) ? settings.serialPortNum.load() : 0;
    const int inversion = settings.ledInversion;
    port.Reopen(portNumber, LineLevelAt(kDtrIdle, inversion), LineLevelAt(kRtsIdle, inversion));
}

void DriveSerialLamp(CSerialPort& port, const LampSettingsRecord& settings, int base) {
    if (!IsOn(settings.useSerialLed)) {
        return;
    }
    port.DriveLine(LineLevelAt(base, settings.ledInversion));
}
