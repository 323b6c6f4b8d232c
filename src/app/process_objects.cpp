// The process-wide lamp objects, in one place so that their order is fixed:
// constructed before anything else runs, destroyed in reverse at process exit
// (the port closed first, then NumLock, ScrollLock and CapsLock given back).
#include "lamps/keyboard_led.h"
#include "lamps/serial_port.h"
#include "settings/lamp_settings.h"

CKeyboardLed capsLockLed(kVirtualKeyCapsLock, SystemLockKeyDriver());
CKeyboardLed scrollLockLed(kVirtualKeyScrollLock, SystemLockKeyDriver());
CKeyboardLed numLockLed(kVirtualKeyNumLock, SystemLockKeyDriver());
CSerialPort serialPort(SystemSerialLineDriver());

// Only addresses are taken here, so the record is initialised before any of the above.
constinit LampSettingsRecord LampSettings(&capsLockLed, &scrollLockLed);

// Here rather than beside the lamp so that tests of the lamp need no process-wide objects.
void ApplySerialLamp() {
    ApplySerialLamp(serialPort, LampSettings);
}
