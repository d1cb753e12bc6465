// main_programs.cpp -- where the running program and its tools lie, for the commands tavo prints
#include "main.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include "file.h"

std::string main_programFolder(void)
{
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return "";
    std::string exe(buf, (size_t)n);
    return exe.substr(0, exe.rfind('/'));
}

// The first file called name in a folder of PATH, "" when there is none.
static std::string main_onPath(const std::string &name)
{
    const char *path = getenv("PATH");
    std::string list = path ? path : "";
    for (size_t start = 0; start <= list.size();) {
        size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        std::string folder = list.substr(start, end - start);
        std::string file = (folder.empty() ? "." : folder) + "/" + name;
        if (access(file.c_str(), X_OK) == 0)
            return file;
        start = end + 1;
    }
    return "";
}

std::string main_command(const std::string &program)
{
    // The tools are built and installed beside the viewer: the bare name
    // when the shell finds that very file, else its full path.
    std::string folder = main_programFolder();
    if (folder.empty())
        return program;
    std::string beside = folder + "/" + program;
    std::string found = main_onPath(program);
    return !found.empty() && file_same(found.c_str(), beside.c_str()) ? program : beside;
}
