// The Linux program's word to its user: one line on standard error, which the
// terminal shows and the session's journal keeps for an autostarted program.
#pragma once

#include <string_view>

// Writes "velumin: ", the message and a newline in one write, so that lines
// from two threads never mix. Called once per event, never per worker cycle.
void TellUser(std::string_view message);
