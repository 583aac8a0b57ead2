#include "cli/Commands.h"

#include <cstdio>

int fail(int code, const std::string& message)
{
    std::fprintf(stderr, "nimbulo: %s\n", message.c_str());
    return code;
}
