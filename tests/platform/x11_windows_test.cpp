#include "platform/x11_windows.h"

#include <QApplication>
#include <QGuiApplication>
#include <QRasterWindow>
#include <QTest>
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

TEST(WindowGeometry, ReportsRealWindowsAndRefusesOtherNumbers) {
    QRasterWindow w;
    w.setGeometry(40, 30, 200, 150);
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    auto rect = WindowRect(static_cast<WindowId>(w.winId()));
    ASSERT_TRUE(rect);
    EXPECT_EQ(rect->size(), QSize(200, 150));
    EXPECT_TRUE(IsWindow(static_cast<WindowId>(w.winId())));
    EXPECT_FALSE(IsWindow(0));
    EXPECT_FALSE(IsWindow(1234));
    EXPECT_FALSE(IsWindow(0xFFFFFFFFu));
    EXPECT_NE(RootWindow(), 0u);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv); // Qt Test's input helpers expect the widget application
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
