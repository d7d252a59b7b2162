// Linked into every test program: tests run offscreen and without a sound card unless a test
// asks otherwise, and allocations that system libraries keep until exit are not leaks of ours.
#include <cstdlib>

namespace {
struct TestEnvironment {
    TestEnvironment() {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
    }
} const testEnvironment;
}  // namespace

extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
