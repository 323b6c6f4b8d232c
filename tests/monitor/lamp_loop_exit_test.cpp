// The end of the process after a worker that never came back: a line drive
// stuck in the driver, as a port stuck in the kernel would leave it.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <thread>

#include "fakes/lamp_rig.h"
#include "support/files.h"

namespace {

TEST(LampLoopExit, AWorkerStuckInALineDriveKeepsNeitherTheProcessNorTheKeys) {
    // What the stuck worker holds stays allocated: it never gives it back.
    static fakes::Surroundings fake;
    static std::atomic<int> stop{0};
    static LampSettingsRecord settings(nullptr, nullptr);
    static std::optional<LampLoop> loop;
    auto caps = std::make_unique<CKeyboardLed>(kVirtualKeyCapsLock, fake);
    auto num = std::make_unique<CKeyboardLed>(kVirtualKeyNumLock, fake);
    auto port = std::make_unique<CSerialPort>(fake);
    settings.receiveLed = caps.get();
    settings.sendLed = num.get();
    settings.useSerialLed = 1;
    ApplySerialLamp(*port, settings);
    fake.polls = {{true, 1, 1}};
    fake.stuckDrive = 1;
    loop.emplace(LampLoop{settings, *port, fake, fake, fake, stop});
    std::thread(LampThreadProc, &*loop).detach();
    ASSERT_TRUE(testsupport::WaitFor([] { return fake.stuckDrive == 2; }));
    EXPECT_EQ(fake.locks[kVirtualKeyCapsLock] + fake.locks[kVirtualKeyNumLock], 2)
        << "the flash had begun";
    EXPECT_FALSE(RequestLampLoopStop(*loop, 20));

    // The process-wide objects' end, in their order: the port, then the keys.
    std::atomic<bool> ended{false};
    std::thread exitSequence([&] {
        port.reset();
        num.reset();
        caps.reset();
        ended = true;
    });
    if (!testsupport::WaitFor([&] { return ended.load(); })) {
        exitSequence.detach();
        FAIL() << "the end of the process waits for the stuck worker";
    }
    exitSequence.join();
    EXPECT_EQ(fake.locks[kVirtualKeyCapsLock] + fake.locks[kVirtualKeyNumLock], 0);
}

}  // namespace
