// Re-entrancy guards of the modal commands.
#include "ui/dialog_slots.h"

#include <iterator>

int dialogBusy[3] = {0, 0, 0};

int AcquireDialogSlot(std::uint8_t slot) {
    // A slot that does not exist counts as busy rather than writing past the table.
    if (slot >= std::size(dialogBusy) || dialogBusy[slot] == 1) {
        return 0;
    }
    dialogBusy[slot] = 1;
    return 1;
}

void ReleaseDialogSlot(std::uint8_t slot) {
    if (slot < std::size(dialogBusy)) {
        dialogBusy[slot] = 0;
    }
}
