#pragma once

#include "I420FrameBlock.h"
#include "VRtcFpsCalculateTool.h"
#include "VVideoRenderAbstract.h"
#include "VideoFrameRing.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <memory>

// The software renderer: converts each frame to 32-bit pixels on the engine's thread, hands
// it over through the ring and paints the newest picture, scaled to the widget's height and
// centred on black, every 50 ms while running.
class VVideoRenderCPUPaintWidget : public QWidget, public VVideoRenderAbstract
{
    Q_OBJECT
public:
    explicit VVideoRenderCPUPaintWidget(QWidget *parent = nullptr);
    ~VVideoRenderCPUPaintWidget() override;

    void inputFrame(VideoFrameItem item) override;
    void stopRender() override;
    void startRender() override;

    const QTimer &repaintTimer() const { return m_repaintTimer; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void drawBackground(QPainter &painter);

    // Touched only by the thread that delivers frames.
    I420FrameBlock m_scratch;
    std::unique_ptr<uint32_t[]> m_pixels;
    qint64 m_pixelsSize = 0;

    VideoFrameRing m_ring;
    QTimer m_repaintTimer;
    std::atomic<qint64> m_lastPaintMs{0};
    QPointer<VRtcFpsCalculateTool> m_fpsTool;
};
