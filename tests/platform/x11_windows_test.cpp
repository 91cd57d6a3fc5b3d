// Finding windows by their exact title, as the single-instance test does.
#include "platform/x11_windows.h"

#include <QGuiApplication>
#include <QRasterWindow>
#include <gtest/gtest.h>

using namespace quelm::x11;

TEST(WindowSearch, FindsAWindowOfThisOrAnotherClientByItsExactTitle) {
    EXPECT_FALSE(WindowWithTitleExists(QStringLiteral("Quib_Main")));
    QRasterWindow w;
    w.setTitle(QStringLiteral("Quib_Main"));
    w.create(); // findable once created, shown or not
    QGuiApplication::sync();
    EXPECT_TRUE(WindowWithTitleExists(QStringLiteral("Quib_Main")));
    EXPECT_FALSE(WindowWithTitleExists(QStringLiteral("quib_main")));
    EXPECT_FALSE(WindowWithTitleExists(QStringLiteral("Quib_Mai")));

    QRasterWindow j;
    j.setTitle(QStringLiteral("<Quelm> 設定"));
    j.create();
    QGuiApplication::sync();
    EXPECT_TRUE(WindowWithTitleExists(QStringLiteral("<Quelm> 設定")));
    w.destroy();
    QGuiApplication::sync();
    EXPECT_FALSE(WindowWithTitleExists(QStringLiteral("Quib_Main")));
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
