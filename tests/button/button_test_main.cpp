// A QApplication on the real X server for the button's widget tests. The logical dpi is
// pinned to 96 so that a pixel is exactly 15 twips, unless QUELM_BUTTON_TEST_DPI names
// another: at 120 Qt keeps 96 logical dpi and paints at a device pixel ratio of 1.25, so a
// device pixel is 12 twips (the ButtonDpi tests run so too).
#include <gtest/gtest.h>

#include <QApplication>
#include <QFont>

int main(int argc, char** argv)
{
    const QByteArray dpi = qgetenv("QUELM_BUTTON_TEST_DPI");
    qputenv("QT_FONT_DPI", dpi.isEmpty() ? QByteArray("96") : dpi);
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
