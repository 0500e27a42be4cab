#include "class/run/exit_status.h"

#include <cstdio>

int trouble(const std::string& message)
{
    std::fprintf(stderr, "Error: %s\n", message.c_str());
    return statusTrouble;
}
