// What the commands of nimbulo share: the exit codes and the error message.
#pragma once

#include <string>

// Exit codes, as documented in the help text.
enum ExitCode {
    exitOk = 0,
    exitRenderFailed = 1,
    exitUsage = 2,
    exitBadInput = 3,
    exitCannotWrite = 4,
    exitNoPlugin = 5,
    exitInterrupted = 130,
};

// Prints "nimbulo: message" to standard error and returns `code`.
int fail(int code, const std::string& message);
