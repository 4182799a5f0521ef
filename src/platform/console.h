#pragma once

#include <string>
#include <vector>

namespace officecarve {

enum class StandardStream { kInput, kError };

// True when the stream is a terminal (a console window on Windows).
bool IsTerminal(StandardStream stream);

// The width of the terminal on standard error in columns; 0 when unknown.
int ErrorTerminalColumns();

// Makes the terminal show UTF-8 text and understand the carriage-return and
// erase-line sequences of the progress line. Nothing to do where it already does.
void PrepareTerminal();

// The program's arguments as UTF-8, whatever code page the system used to
// pass them.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

// From now on Ctrl-C is counted instead of ending the process; the third one
// ends it at once with exit code 130, for a device that hangs in a read.
void InstallInterruptCounter();
// The Ctrl-C presses counted so far.
int InterruptCount();

}  // namespace officecarve
