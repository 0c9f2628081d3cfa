// Stands in for the FreeRDP client in tests: records the arguments it was
// started with, one per line, in $FAKE_FREERDP_RECORD_DIR/call-<pid>.txt, then
// stays alive (as a real session would) until it is killed or a minute passes.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include <unistd.h>

int main(int argc, char *argv[])
{
    const char *dir = std::getenv("FAKE_FREERDP_RECORD_DIR");
    if (!dir)
        return 2;
    const std::string path = std::string(dir) + "/call-" + std::to_string(getpid()) + ".txt";
    {
        std::ofstream record(path + ".part", std::ios::binary);
        for (int i = 1; i < argc; ++i)
            record << argv[i] << '\n';
    }
    // Appear whole: readers never see a half-written record.
    std::rename((path + ".part").c_str(), path.c_str());
    for (int i = 0; i < 600; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return 0;
}
