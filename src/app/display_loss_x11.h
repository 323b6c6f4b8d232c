// The Linux program's end when its X display goes away, which Xlib and Qt
// would answer with exit() while the worker still uses what exit destroys.
#pragma once

class Program;

// From now on a broken X connection, met on any thread inside the X call that
// found it, keeps the running program's settings and ends the process at once,
// with status 1 and nothing destroyed.
void SetDisplayLossHandler();

// The running program, from just before its start until its event loop has
// ended (nullptr). While one runs, an exit() (Qt's, when its own connection
// breaks) ends the same way.
void SetRunningProgram(Program* program);
