// What an image view puts on the screen for its surface.
#include "window/TImage32.h"

#include <QTest>

using namespace teintelle;

class ImageViewTest : public QObject {
    Q_OBJECT

    static constexpr QRgb kGrey = 0xFF808080u;

private slots:
    void emptySurfaceOrEmptyViewShowsOnlyBackground()
    {
        TImage32 view;
        QImage shown = view.compose(QSize(20, 10));
        QCOMPARE(shown.size(), QSize(20, 10));
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 20; ++x)
                QCOMPARE(shown.pixel(x, y), kGrey);
        view.Bitmap().SetSize(4, 4);
        QVERIFY(view.compose(QSize(0, 10)).isNull() || view.compose(QSize(0, 10)).width() == 0);
    }

    void smallPictureIsCentredUnscaledWithAlphaIgnored()
    {
        TImage32 view;
        view.Bitmap().SetSize(3, 2);
        for (int i = 0; i < 6; ++i)
            view.Bitmap().Bits()[i] = 0x00102030u + std::uint32_t(i); // alpha 0 must not matter
        const QImage shown = view.compose(QSize(8, 5));
        // Leftover 5 columns: 2 on the left, 3 on the right; 3 rows: 1 above, 2 below.
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 8; ++x) {
                const bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
                const QRgb expected = inside ? (0xFF102030u + std::uint32_t((y - 1) * 3 + (x - 2))) : kGrey;
                QCOMPARE(shown.pixel(x, y), expected);
            }
    }

    void largePictureIsShrunkWithNearestSampling()
    {
        TImage32 view;
        view.Bitmap().SetSize(1000, 750);
        for (int y = 0; y < 750; ++y)
            for (int x = 0; x < 1000; ++x)
                view.Bitmap().pixel(x, y) = 0xFF000000u | std::uint32_t(x << 10 | y);
        const QImage shown = view.compose(QSize(234, 217));
        QCOMPARE(shown.pixel(0, 20), kGrey);
        QCOMPARE(shown.pixel(0, 21), 0xFF000000u | (0u << 10 | 0u));
        QCOMPARE(shown.pixel(4, 21), 0xFF000000u | (17u << 10 | 0u));
        QCOMPARE(shown.pixel(233, 21 + 174) & 0xFFFFFFu, 995u << 10 | std::uint32_t(174 * (750.0f / 175.0f)));
        QCOMPARE(shown.pixel(0, 21 + 175), kGrey);
    }

    void changeOfTheSurfaceSchedulesARepaint()
    {
        TImage32 view;
        view.resize(50, 50);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.Bitmap().SetSize(10, 10);
        view.Bitmap().Bits()[0] = 0xFFFF0000u;
        view.Refresh(); // redraws at once
        const QImage grabbed = view.grab().toImage();
        QCOMPARE(grabbed.pixel(20, 20), 0xFFFF0000u);
    }
};

QTEST_MAIN(ImageViewTest)
#include "ImageView_test.moc"
