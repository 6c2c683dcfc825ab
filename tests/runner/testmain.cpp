// SPDX-License-Identifier: GPL-3.0-or-later
// The main of a test program that holds many Qt Test classes:
//   program TEST [Qt Test arguments...]   runs one class, named by its class
//                                         name (TestFoo) or file (tst_foo)
//   program                               runs every class, each in a
//                                         process of its own
//   program --list                        prints the file names
#include "quillontest.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

QUILLON_TEST_DECLARATIONS

namespace {

struct Entry {
    std::string className;
    std::string name; // the file's base name
    QuillonTest::RunFunction run;
};

std::vector<Entry> &entries()
{
    static std::vector<Entry> list;
    return list;
}

std::string baseName(const char *file)
{
    std::string name = file;
    const auto slash = name.find_last_of('/');
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const auto dot = name.find('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}

const Entry *find(const char *name)
{
    for (const Entry &entry : entries())
        if (entry.name == name || entry.className == name)
            return &entry;
    return nullptr;
}

// Runs every class in a child process of this program, one after another.
int runAll(char *program)
{
    int failed = 0;
    for (const Entry &entry : entries()) {
        std::fflush(stdout);
        const pid_t child = fork();
        if (child < 0) {
            std::perror("fork");
            return 1;
        }
        if (child == 0) {
            std::vector<char> name(entry.name.begin(), entry.name.end());
            name.push_back('\0');
            char *arguments[] = {program, name.data(), nullptr};
            execv("/proc/self/exe", arguments);
            std::perror("execv");
            _exit(127);
        }
        int status = 0;
        if (waitpid(child, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            std::printf("FAILED: %s\n", entry.name.c_str());
            ++failed;
        }
    }
    std::printf("%d of %zu test classes failed\n", failed, entries().size());
    return failed ? 1 : 0;
}

} // namespace

bool QuillonTest::add(const char *className, const char *file, RunFunction run)
{
    entries().push_back({className, baseName(file), run});
    return true;
}

int main(int argc, char *argv[])
{
    if (argc < 2)
        return runAll(argv[0]);
    if (std::strcmp(argv[1], "--list") == 0) {
        for (const Entry &entry : entries())
            std::printf("%s\n", entry.name.c_str());
        return 0;
    }
    const Entry *entry = find(argv[1]);
    if (!entry) {
        std::fprintf(stderr, "No test %s in this program; --list names them\n", argv[1]);
        return 2;
    }
    // The class sees the command line without its own name.
    argv[1] = argv[0];
    return entry->run(argc - 1, argv + 1);
}
