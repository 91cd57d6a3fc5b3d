// A QApplication on the real X server for the button's widget tests. The logical dpi is
// pinned to 96 so that a pixel is exactly 15 twips.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

int main(int argc, char** argv)
{
    qputenv("QT_FONT_DPI", "96");
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
