// The wizard tests run on an offscreen QApplication (QT_QPA_PLATFORM=offscreen from CTest).
#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    if (testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
