// tessaline-cli as a callable, so tests can run it in-process.
#pragma once

#include <ostream>
#include <string>
#include <vector>

/// Runs the tool on Args (without the program name). Help and version go
/// to Out; diagnostics, each "tessaline-cli: " and a message, to Err. Pages
/// for standard output go to OutputFd, standard input is read from InputFd.
/// A value of the saved scheme that cannot be read is said on Err, and its
/// element keeps its built-in setting. Returns the exit status: 0 success,
/// 1 a failed input or output (no partial output file is left), 2 a usage
/// error.
int RunTessalineCli(const std::vector<std::string> &Args, std::ostream &Out, std::ostream &Err,
                    int InputFd = 0, int OutputFd = 1);
