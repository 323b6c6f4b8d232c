// The signals the Linux program answers: SIGTERM, SIGINT and SIGHUP end it
// through the event loop, and SIGPIPE ends nothing.
#pragma once

// Installs the handlers. From now on each of SIGTERM, SIGINT and SIGHUP makes
// the descriptor returned readable, for the event loop to see; -1 when none
// could be made, and those three keep their default.
int InstallSignalHandlers();

// Reads what the signals wrote to the descriptor.
void TakeSignals(int fd);
