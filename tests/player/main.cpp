#include <gtest/gtest.h>

#ifdef OMBRIX_WITH_PLAYER
#include <QCoreApplication>
#endif

// Downloads and the local test servers need a Qt application object and its event loop.
int main(int argc, char** argv) {
#ifdef OMBRIX_WITH_PLAYER
    QCoreApplication app(argc, argv);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
