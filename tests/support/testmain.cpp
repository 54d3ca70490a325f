#include <QCoreApplication>

#include <gtest/gtest.h>

// Qt's SQL drivers are plugins and want an application object to find them.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
