// Re-entrancy guards of the modal commands.
#include "ui/dialog_slots.h"

int AcquireDialogSlot(DialogSlots& dialogBusy, std::uint8_t slot) {
    // A slot that does not exist counts as busy rather than writing past the table.
    if (slot >= dialogBusy.size() || dialogBusy[slot] == 1) {
        return 0;
    }
    dialogBusy[slot] = 1;
    return 1;
}

void ReleaseDialogSlot(DialogSlots& dialogBusy, std::uint8_t slot) {
    if (slot < dialogBusy.size()) {
        dialogBusy[slot] = 0;
    }
}
