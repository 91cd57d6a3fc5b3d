// The single-instance test finds windows by their exact title only (program_test runs it
// between real processes).
#include "platform/x11/windows.h"

#include <QGuiApplication>
#include <QRasterWindow>
#include <gtest/gtest.h>

using namespace quelm::x11;

TEST(WindowSearch, FindsAWindowByItsExactTitleOnly) {
    int argc = 0;
    QGuiApplication app(argc, nullptr);
    QRasterWindow w;
    w.setTitle(QStringLiteral("Quib_Main"));
    w.create();
    QGuiApplication::sync();
    EXPECT_TRUE(TopLevelWindowWithTitleExists(QStringLiteral("Quib_Main")));
    EXPECT_FALSE(TopLevelWindowWithTitleExists(QStringLiteral("quib_main")));
    EXPECT_FALSE(TopLevelWindowWithTitleExists(QStringLiteral("Quib_Mai")));
}
