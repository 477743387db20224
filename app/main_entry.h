#pragma once
// The program entry: creates the two windows, runs the message loop and restarts the program
// after a change of language.

// Set by the language dialog when it closes the main window after a change of language.
extern bool RestartRequested;

// Runs the program; returns the process exit code, which is 0 in every case.
int RunQuillon(int argc, char* argv[]);
