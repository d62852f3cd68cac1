#pragma once

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <QString>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>

namespace ombrix::test {

/// A test plug-in built by this folder's CMakeLists.txt.
inline QString testPlugin(const char* name) {
    return QStringLiteral(OMBRIX_TEST_PLUGINS "/") + QLatin1String(name) + QStringLiteral(".so");
}

/// Runs each test against the real host; afterwards no host may run or wait to be reaped.
class PluginTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (qEnvironmentVariableIsEmpty("OMBRIX_PLUGIN_HOST"))
            qputenv("OMBRIX_PLUGIN_HOST", OMBRIX_PLUGIN_HOST_PATH);
    }
    void TearDown() override {
        errno = 0;
        EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1) << "a host was left running or unreaped";
        EXPECT_EQ(errno, ECHILD);
    }
    /// The record's program directory: a folder of the test's own, ending in "/".
    QString home() const { return home_.path() + QLatin1Char('/'); }

    QTemporaryDir home_;
};

/// The 32-bit number at @p index of a probe frame.
inline int32_t probeValue(const uint8_t* frame, int index) {
    int32_t v;
    std::memcpy(&v, frame + 4 * index, sizeof v);
    return v;
}

}  // namespace ombrix::test
