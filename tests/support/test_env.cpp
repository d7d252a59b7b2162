// Linked into every test program: tests run offscreen and without a sound card unless a test
// asks otherwise, and allocations that system libraries keep until exit are not leaks of ours.
// What the program keeps for the user goes to a folder of the run's own, removed at exit: a test
// never writes to the real user's folders, nor leaves a party behind for the next start to offer.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {
struct TestEnvironment {
    std::string data;
    TestEnvironment() {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        std::string folder = (std::filesystem::temp_directory_path() / "qmm-test-data-XXXXXX").string();
        if (mkdtemp(folder.data())) {
            data = folder;
            setenv("XDG_DATA_HOME", data.c_str(), 1);
        }
    }
    ~TestEnvironment() {
        std::error_code ec;
        if (!data.empty()) std::filesystem::remove_all(data, ec);
    }
} const testEnvironment;
}  // namespace

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
