#include "TestFrames.h"
#include "TestSupport.h"
#include "VVideoRenderCPUPaintWidget.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPaintEvent>
#include <QThread>

#include <atomic>

namespace {

const QRgb kBackground = qRgb(10, 20, 30);
const QRgb kBlack = 0xFF000000;
const QRgb kRed = 0xFFFF0000;
const QRgb kWhite = 0xFFFFFFFF;

// Counts paints, so a repaint request can be seen arriving.
class CountingCpuWidget : public VVideoRenderCPUPaintWidget
{
public:
    std::atomic<int> paints{0};
    QThread *paintThread = nullptr;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        ++paints;
        paintThread = QThread::currentThread();
        VVideoRenderCPUPaintWidget::paintEvent(event);
    }
};

} // namespace

class CpuPaintWidgetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        widget.setStyleSheet(QStringLiteral("background-color: rgb(10, 20, 30);"));
    }
    // What one paint puts on the widget.
    QImage paint()
    {
        QImage image(widget.size(), QImage::Format_ARGB32);
        image.fill(0xFF777777);
        widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }
    static std::vector<QRgb> row(const QImage &image, int y)
    {
        std::vector<QRgb> out;
        for (int x = 0; x < image.width(); ++x)
            out.push_back(image.pixel(x, y));
        return out;
    }
    static bool allPixels(const QImage &image, QRgb value)
    {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != value)
                    return false;
        return true;
    }
    // Columns [left, right) of every row hold inside, the rest black.
    static bool columns(const QImage &image, int left, int right, QRgb inside)
    {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixel(x, y) != (x >= left && x < right ? inside : kBlack))
                    return false;
        return true;
    }

    TempWorkDir dir;
    CountingCpuWidget widget;
};

TEST_F(CpuPaintWidgetTest, BackgroundOnlyUntilTheFirstPicture)
{
    widget.resize(8, 4);
    widget.startRender();
    EXPECT_TRUE(widget.repaintTimer().isActive());
    EXPECT_EQ(widget.repaintTimer().interval(), 50);
    EXPECT_EQ(widget.repaintTimer().timerType(), Qt::PreciseTimer);
    EXPECT_TRUE(allPixels(paint(), kBackground));
}

TEST_F(CpuPaintWidgetTest, BackgroundOnlyWhileStopped)
{
    widget.resize(8, 4);
    widget.inputFrame(TestFrames::item(QStringLiteral("42"), TestFrames::uniform(4, 2, 81, 90, 240)));
    EXPECT_TRUE(allPixels(paint(), kBackground));
}

TEST_F(CpuPaintWidgetTest, PictureOfTheWidgetsHeightIsCentredOnBlack)
{
    widget.resize(8, 2);
    widget.startRender();
    // Left chroma pair red, right grey; top row Y 81, bottom row Y 235.
    widget.inputFrame(TestFrames::item(QStringLiteral("42"),
                                       TestFrames::packed(4, 2, {81, 81, 81, 81, 235, 235, 235, 235}, {90, 128}, {240, 128})));
    const QImage image = paint();
    EXPECT_EQ(row(image, 0), (std::vector<QRgb>{kBlack, kBlack, kRed, kRed, 0xFF4C4C4C, 0xFF4C4C4C, kBlack, kBlack}));
    EXPECT_EQ(row(image, 1), (std::vector<QRgb>{kBlack, kBlack, 0xFFFFB3B2, 0xFFFFB3B2, kWhite, kWhite, kBlack, kBlack}));
}

TEST_F(CpuPaintWidgetTest, PictureIsScaledToTheWidgetsHeight)
{
    widget.resize(12, 4);
    widget.startRender();
    widget.inputFrame(TestFrames::item(QStringLiteral("42"), TestFrames::uniform(4, 2, 81, 90, 240)));
    EXPECT_TRUE(columns(paint(), 2, 10, kRed));

    // Portrait: 2 x 4 at height 8 is 4 wide.
    widget.resize(8, 8);
    widget.inputFrame(TestFrames::item(QStringLiteral("42"), TestFrames::uniform(2, 4, 235, 128, 128)));
    EXPECT_TRUE(columns(paint(), 2, 6, kWhite));

    // Wider than the widget: cropped left and right alike.
    widget.resize(4, 2);
    widget.inputFrame(TestFrames::item(QStringLiteral("42"),
                                       TestFrames::packed(8, 2, std::vector<uint8_t>(16, 235), {90, 128, 128, 90}, {240, 128, 128, 240})));
    EXPECT_EQ(row(paint(), 0), (std::vector<QRgb>{kWhite, kWhite, kWhite, kWhite}));
}

TEST_F(CpuPaintWidgetTest, PaddedRowsConvertLikePackedOnes)
{
    widget.resize(4, 2);
    widget.startRender();
    widget.inputFrame(TestFrames::item(QStringLiteral("42"), TestFrames::padded(4, 2, 12, 81, 90, 240)));
    EXPECT_TRUE(allPixels(paint(), kRed));
}

TEST_F(CpuPaintWidgetTest, DroppedFrameKeepsThePreviousPicture)
{
    widget.resize(4, 2);
    widget.startRender();
    widget.inputFrame(TestFrames::item(QStringLiteral("42"), TestFrames::uniform(4, 2, 81, 90, 240)));
    EXPECT_TRUE(allPixels(paint(), kRed));
    auto narrow = TestFrames::uniform(4, 2, 235, 128, 128);
    narrow->yStride = 3;
    widget.inputFrame(TestFrames::item(QStringLiteral("42"), narrow));
    auto odd = TestFrames::uniform(4, 2, 235, 128, 128);
    odd->height = 1;
    widget.inputFrame(TestFrames::item(QStringLiteral("42"), odd));
    widget.inputFrame(TestFrames::item(QStringLiteral("42"), nullptr));
    EXPECT_TRUE(allPixels(paint(), kRed));
}

TEST_F(CpuPaintWidgetTest, StopForgetsThePictures)
{
    widget.resize(4, 2);
    widget.startRender();
    widget.inputFrame(TestFrames::item(QStringLiteral("42"), TestFrames::uniform(4, 2, 81, 90, 240)));
    EXPECT_TRUE(allPixels(paint(), kRed));
    widget.stopRender();
    EXPECT_FALSE(widget.repaintTimer().isActive());
    EXPECT_TRUE(allPixels(paint(), kBackground));
    widget.startRender();
    EXPECT_TRUE(allPixels(paint(), kBackground));
}

TEST_F(CpuPaintWidgetTest, FrameFromAnotherThreadAsksTheGuiThreadToRepaint)
{
    widget.resize(4, 2);
    widget.show();
    ASSERT_TRUE(waitUntil([this] { return widget.paints > 0; }));
    widget.paints = 0;
    // Stopped, so no timer paints: only the frame's own request can.
    QThread *engine = QThread::create([this] {
        widget.inputFrame(TestFrames::item(QStringLiteral("42"), TestFrames::uniform(4, 2, 81, 90, 240)));
    });
    engine->start();
    engine->wait();
    delete engine;
    EXPECT_TRUE(waitUntil([this] { return widget.paints > 0; }));
    EXPECT_EQ(widget.paintThread, QThread::currentThread());
}
