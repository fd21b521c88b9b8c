#pragma once
// The correction of negative batch remainders, kept apart from the window so
// that the same work runs under the button, in tests and in benchmarks.
#include <functional>
#include <string>

class TNMQLogger;

// The directory text as typed (not trimmed) with a "/" appended unless it
// already ends in one.
std::string DatabaseDirFrom(const std::string& directoryText);

// One correction run on the trade database in directoryText: every batch
// with a negative remainder that has a goods row gets the missing quantity
// added to its own Count and to its movements of type 0, and its remainder
// set to 0; each batch is logged to log first. A progress window shows the
// share done. completed runs after the walk, while the connection is still
// held (the program shows its completion box there). Failures are thrown
// with the message the user is to see.
void CorrectNegativeRemainders(const std::string& directoryText, TNMQLogger& log,
                               const std::function<void()>& completed);

// The command line that opens logPath in the text editor.
std::string NotepadCommandLine(const std::string& logPath);
