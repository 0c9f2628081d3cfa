// Stands in for the FreeRDP client in tests: records the arguments it was
// started with, one per line, in $FAKE_FREERDP_RECORD_DIR/call-<pid>.txt (with
// "/args-from:stdin" as its only argument, as FreeRDP 3 does, the lines of its
// standard input; its real command line goes to call-<pid>.argv), then
// stays alive (as a real session would) until it is killed or a minute passes.
// It also lists the descriptors it was started with ("0 1 2") in call-<pid>.fds
// (version-<pid>.fds when asked for its version) beside them.
// Other behaviour, chosen by the environment:
//   --version as the only argument: prints $FAKE_FREERDP_VERSION (or a FreeRDP 2
//     line) and exits 0, recording no call; with FAKE_FREERDP_VERSION_GATE set,
//     only once that file exists (a minute at most);
//   FAKE_FREERDP_FILE_GATE: once that file exists (a minute at most), copies the
//     connection file (the first argument) to call-<pid>.content;
//   FAKE_FREERDP_OUTPUT: written to standard error after the record;
//   FAKE_FREERDP_FLOOD_MIB: that many MiB of lines written to standard output;
//   FAKE_FREERDP_READ_STDIN: reads standard input to its end, then exits 5;
//   FAKE_FREERDP_EXIT: exits with that code instead of staying alive;
//   FAKE_FREERDP_ON_TERM: "tidy" writes <record>.terminated and exits on SIGTERM,
//     "ignore" ignores SIGTERM (only a kill ends it).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

namespace {

std::string terminatedMark;

void tidyUp(int)
{
    const int fd = ::creat(terminatedMark.c_str(), 0600);
    if (fd >= 0)
        ::close(fd);
    ::_exit(0);
}

// The descriptors open now, as the process got them.
// The descriptors open now, as the process got them: "0 1 2".
std::string openDescriptors()
{
    DIR *dir = ::opendir("/proc/self/fd");
    if (!dir)
        return "unreadable";
    std::set<int> open;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != ::dirfd(dir))
            open.insert(std::atoi(entry->d_name));
    }
    ::closedir(dir);
    std::string list;
    for (int fd : open)
        list += (list.empty() ? "" : " ") + std::to_string(fd);
    return list;
}

void recordDescriptors(const char *dir, const char *kind, const std::string &list)
{
    const std::string path = std::string(dir) + '/' + kind + '-' + std::to_string(getpid()) + ".fds";
    {
        std::ofstream record(path + ".part", std::ios::binary);
        record << list;
    }
    std::rename((path + ".part").c_str(), path.c_str());
}

bool exists(const char *path)
{
    return ::access(path, F_OK) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    const std::string descriptors = openDescriptors();
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        if (const char *dir = std::getenv("FAKE_FREERDP_RECORD_DIR"))
            recordDescriptors(dir, "version", descriptors);
        if (const char *gate = std::getenv("FAKE_FREERDP_VERSION_GATE")) {
            for (int i = 0; i < 3000 && !exists(gate); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        const char *version = std::getenv("FAKE_FREERDP_VERSION");
        std::printf("%s\n", version ? version : "This is FreeRDP version 2.11.2 (fake)");
        return 0;
    }
    const char *dir = std::getenv("FAKE_FREERDP_RECORD_DIR");
    if (!dir)
        return 2;
    recordDescriptors(dir, "call", descriptors);
    const std::string path = std::string(dir) + "/call-" + std::to_string(getpid()) + ".txt";
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (argc == 2 && std::strcmp(argv[1], "/args-from:stdin") == 0) {
        std::ofstream(path.substr(0, path.size() - 4) + ".argv", std::ios::binary) << argv[1] << '\n';
        arguments.clear();
        for (std::string line; std::getline(std::cin, line);)
            arguments.push_back(line);
    }
    {
        std::ofstream record(path + ".part", std::ios::binary);
        for (const std::string &argument : arguments)
            record << argument << '\n';
    }
    // Appear whole: readers never see a half-written record.
    std::rename((path + ".part").c_str(), path.c_str());
    if (const char *gate = std::getenv("FAKE_FREERDP_FILE_GATE")) {
        for (int i = 0; i < 3000 && !exists(gate); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::ifstream file(arguments.empty() ? std::string() : arguments.front(), std::ios::binary);
        std::ofstream copy(path.substr(0, path.size() - 4) + ".content", std::ios::binary);
        copy << file.rdbuf();
    }

    if (const char *output = std::getenv("FAKE_FREERDP_OUTPUT"))
        std::fprintf(stderr, "%s", output);
    if (const char *flood = std::getenv("FAKE_FREERDP_FLOOD_MIB")) {
        std::string line(63, 'x');
        line += '\n';
        const long lines = std::atol(flood) * 1024L * 1024L / long(line.size());
        for (long i = 0; i < lines; ++i)
            std::fwrite(line.data(), 1, line.size(), stdout);
        std::fprintf(stdout, "last line of the flood\n");
        std::fflush(stdout);
    }
    if (std::getenv("FAKE_FREERDP_READ_STDIN")) {
        char buffer[256];
        while (read(STDIN_FILENO, buffer, sizeof buffer) > 0) { }
        std::fprintf(stderr, "standard input closed\n");
        return 5;
    }
    if (const char *code = std::getenv("FAKE_FREERDP_EXIT")) {
        std::fflush(nullptr);
        return std::atoi(code);
    }
    if (const char *onTerm = std::getenv("FAKE_FREERDP_ON_TERM")) {
        terminatedMark = path + ".terminated";
        ::signal(SIGTERM, std::strcmp(onTerm, "ignore") == 0 ? SIG_IGN : tidyUp);
    }
    for (int i = 0; i < 600; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return 0;
}
