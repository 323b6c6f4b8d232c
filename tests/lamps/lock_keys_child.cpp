// Holds the process-wide lamps for a lock-key test: sets the lamps it is told
// to, reports what they read, and ends normally once the test answers.
// Usage: lock_keys_child <socket fd> <three of 0, 1 or - for CapsLock, ScrollLock, NumLock>
#include "app/program.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 3 || std::strlen(argv[2]) != 3) {
        return 2;
    }
    const int channel = std::atoi(argv[1]);
    CKeyboardLed* const lamps[] = {&capsLockLed, &scrollLockLed, &numLockLed};
    char states[3];
    for (int i = 0; i < 3; ++i) {
        const char wanted = argv[2][i];
        if (wanted == '0' || wanted == '1') {
            lamps[i]->Set(wanted - '0');
        }
        states[i] = static_cast<char>('0' + lamps[i]->GetState());
    }
    if (write(channel, states, sizeof(states)) != static_cast<ssize_t>(sizeof(states))) {
        return 3;
    }
    // The test changes keys from outside meanwhile; its answer ends the process.
    char answer = 0;
    if (read(channel, &answer, 1) != 1) {
        return 4;
    }
    return 0;
}
