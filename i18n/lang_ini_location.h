#pragma once
// Where lang.ini lies.  A program run from its build folder or an unpacked folder keeps it beside
// the executable.  An installed program (platform/paths.h) reads and writes the user's own copy,
// $XDG_CONFIG_HOME/quillon/lang.ini, made from the one shipped in <prefix>/share/quillon/.
#include <string>

// lang.ini of the executable at `exePath`.
std::string LangIniPathFor(const std::string& exePath);

// The shipped lang.ini an installed program's copy is made from; empty when not installed.
std::string ShippedLangIniPathFor(const std::string& exePath);

// For an installed program: writes the user's lang.ini from the shipped one when it does not
// exist yet, and again once the shipped one has changed (a new version of the program brings new
// texts), keeping the language the user chose.  The copy remembers which shipped file it was
// made from in [set] shipped.  The folder is made even when nothing is shipped, so that the
// loader can start an empty file there.  Returns false when the folder or a due copy cannot be
// written; true otherwise.
bool PrepareUserLangIni(const std::string& exePath);
