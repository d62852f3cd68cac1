#include <gtest/gtest.h>

#include <QApplication>

// Qt is not built with the thread sanitizer: its allocations and copies, made by code the
// sanitizer cannot see synchronise, are not treated as accesses. Our own code is still checked.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_options() {
    return "ignore_noninstrumented_modules=1";
}

int main(int argc, char** argv) {
    // Test discovery runs the program without the tests' environment: no display, no sound card.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
    // A remote-control server started by a test listens on a free port.
    qputenv("OMBRIX_TELNET_PORT", "0");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
