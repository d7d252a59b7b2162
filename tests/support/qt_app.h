#pragma once
// One QApplication for a whole test program. It is never deleted: a static one would be destroyed
// after Qt's own globals and crash at exit once a window had been shown.
#include <QApplication>

namespace test_support {

inline void EnsureApplication() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "qmm-test";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
}

}  // namespace test_support
