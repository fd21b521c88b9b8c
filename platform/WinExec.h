#pragma once
// Starting a program from a command line the way the original platform's
// WinExec does: the line is split with that platform's quoting rules, the
// program is looked up on PATH, and the call returns without waiting for it.
#include <string>
#include <vector>

namespace platform {

// Window state for the started program. Our desktop has no use for it, but
// callers keep passing what they meant. (SW_HIDE comes with the window
// layer; a second one here would clash with it.)
constexpr unsigned SW_SHOWNORMAL = 1;

// Results: above 31 on success; otherwise 0 (out of resources), 2 (file not
// found), 3 (path not found), 5 (access denied) or 11 (not an executable).
constexpr unsigned WinExecOk = 33;

// Splits a command line as the original platform's C runtime does: blanks
// and tabs separate arguments unless inside double quotes; 2n backslashes
// before a quote give n backslashes and the quote toggles quoting; 2n+1 give
// n backslashes and a literal quote; "" inside quotes is a literal quote;
// other backslashes are literal. The program name (first item) ends at the
// first blank outside quotes and takes no backslash escapes.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// What to put between a pair of double quotes so that SplitCommandLine gives
// the argument back unchanged: quotes and the backslashes before them are
// escaped. Paths of the original platform never need it; ours may hold '"'.
std::string EscapeInsideQuotes(const std::string& argument);

// Where a program is missing from PATH, another one may stand in for it
// (a program of our own in place of a system tool the original always had).
// The stand-in gets the same arguments. An empty path removes the entry.
void SetProgramSubstitute(const std::string& programName, const std::string& substitutePath);

// Starts the program named by the command line detached from the caller:
// no zombie is left and the caller never waits for it. A name with "/" is
// used as it is; otherwise PATH is searched, then the substitutes. The
// window state is accepted for the callers' sake and otherwise ignored.
unsigned WinExec(const std::string& commandLine, unsigned showCommand);

} // namespace platform
