#pragma once
// SIGTERM, SIGINT and SIGHUP (a logout) as bytes on a pipe, so that the event loop can end the
// program in order, as its close button does, instead of the process dying wherever it stands:
// the serial port is closed, running operations stop at their next step, and no file is left
// half-written.  A second such signal ends the process at once, the way the signal would have
// without the handlers, for a program that does not get back to its event loop.
namespace platform {

// Installs the handlers (once per process); a signal that the starting process set to be
// ignored stays ignored.  False when the pipe cannot be made; the signals then keep their
// default action.
bool InstallTerminationSignals();

// The pipe's read end, readable once a signal came; -1 before a successful install.
int TerminationSignalFd();

// Empties the pipe; returns the last signal read from it, 0 when there was none.
int TakeTerminationSignal();

} // namespace platform
