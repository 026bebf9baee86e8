#include "GLYuvWidget.h"
#include "TestFrames.h"
#include "TestSupport.h"
#include "VideoRender.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

void expectDiagonal(const QMatrix4x4 &m, float sx, float sy)
{
    QMatrix4x4 expected;
    expected(0, 0) = sx;
    expected(1, 1) = sy;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(m(r, c), expected(r, c), 1e-5) << "row " << r << " column " << c;
}

} // namespace

TEST(GLYuvWidgetTransformTest, MatchingAspectIsIdentity)
{
    expectDiagonal(GLYuvWidget::frameTransform(640, 360, 640, 360), 1.0f, 1.0f);
    expectDiagonal(GLYuvWidget::frameTransform(320, 180, 1280, 720), 1.0f, 1.0f);
}

TEST(GLYuvWidgetTransformTest, LandscapeCoversTheWidget)
{
    // Square widget: full height, sides cropped.
    expectDiagonal(GLYuvWidget::frameTransform(400, 400, 640, 360), 1.7777778f, 1.0f);
    // Wide widget: full width, top and bottom cropped.
    expectDiagonal(GLYuvWidget::frameTransform(800, 200, 640, 360), 1.0f, 2.25f);
}

TEST(GLYuvWidgetTransformTest, PortraitFillsTheHeight)
{
    // Letter-boxed at the sides in a wide widget, cropped at the sides in a narrow one.
    expectDiagonal(GLYuvWidget::frameTransform(16, 8, 4, 8), 0.25f, 1.0f);
    expectDiagonal(GLYuvWidget::frameTransform(100, 400, 360, 640), 2.25f, 1.0f);
}

TEST(GLYuvWidgetTransformTest, EmptySizesGiveIdentity)
{
    expectDiagonal(GLYuvWidget::frameTransform(0, 100, 640, 360), 1.0f, 1.0f);
    expectDiagonal(GLYuvWidget::frameTransform(100, 0, 640, 360), 1.0f, 1.0f);
    expectDiagonal(GLYuvWidget::frameTransform(100, 100, 0, 0), 1.0f, 1.0f);
}

class GLYuvWidgetTest : public ::testing::Test
{
protected:
    // Paints red where a portrait 4 x 8 frame lands in a 16 x 8 widget: the middle quarter.
    void expectLetterBoxedRed()
    {
        widget.resize(16, 8);
        widget.inputFrame(TestFrames::item(QStringLiteral("42"), TestFrames::uniform(4, 8, 81, 90, 240)));
        const QImage image = widget.grabFramebuffer();
        ASSERT_EQ(image.size(), QSize(16, 8));
        const auto near = [](QRgb a, QRgb b) {
            return std::abs(qRed(a) - qRed(b)) <= 2 && std::abs(qGreen(a) - qGreen(b)) <= 2 &&
                   std::abs(qBlue(a) - qBlue(b)) <= 2;
        };
        for (int y = 0; y < 8; ++y) {
            EXPECT_TRUE(near(image.pixel(1, y), qRgb(0, 0, 0))) << y;
            EXPECT_TRUE(near(image.pixel(7, y), qRgb(255, 0, 0))) << y;
            EXPECT_TRUE(near(image.pixel(8, y), qRgb(255, 0, 0))) << y;
            EXPECT_TRUE(near(image.pixel(14, y), qRgb(0, 0, 0))) << y;
        }
    }

    TempWorkDir dir;
    GLYuvWidget widget;
};

TEST_F(GLYuvWidgetTest, FrameCopyFollowsTheLastGoodFrame)
{
    EXPECT_EQ(widget.frameSize(), QSize(0, 0));
    widget.inputFrame(TestFrames::item(QStringLiteral("42"), TestFrames::padded(640, 360, 704, 81, 90, 240)));
    EXPECT_EQ(widget.frameSize(), QSize(640, 360));
    auto narrow = TestFrames::uniform(320, 180, 81, 90, 240);
    narrow->yStride = 300;
    widget.inputFrame(TestFrames::item(QStringLiteral("42"), narrow));
    widget.inputFrame(TestFrames::item(QStringLiteral("42"), nullptr));
    EXPECT_EQ(widget.frameSize(), QSize(640, 360));
}

TEST_F(GLYuvWidgetTest, StartShowsAndStopHides)
{
    widget.startRender();
    EXPECT_TRUE(widget.isVisible());
    widget.stopRender();
    EXPECT_FALSE(widget.isVisible());
}

TEST_F(GLYuvWidgetTest, ShaderDrawsTheConvertedPictureWhereTheTransformPutsIt)
{
    if (!VideoRender::openGLAvailable())
        GTEST_SKIP() << "no OpenGL 3.3 core context can be made on this platform (offscreen without GL)";
    expectLetterBoxedRed();
}

TEST_F(GLYuvWidgetTest, CoreProfileContextDrawsTheSame)
{
    if (!VideoRender::openGLAvailable())
        GTEST_SKIP() << "no OpenGL 3.3 core context can be made on this platform (offscreen without GL)";
    QSurfaceFormat format;
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setVersion(3, 3);
    widget.setFormat(format);
    expectLetterBoxedRed();
}
