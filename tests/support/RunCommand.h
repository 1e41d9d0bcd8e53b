#pragma once
// Runs a shell command line as a user would and keeps what it printed.

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace qz::test {

// The exit status (-1 when the command did not exit normally) and its
// standard output; redirect standard error in the command to keep it too.
inline int RunCommand(const std::string& command, std::string& output)
{
    output.clear();
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return -1;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;)
        output.append(chunk, n);
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace qz::test
