#include "VVideoRenderCPUPaintWidget.h"

#include "i420ToArgb.h"

#include <QDateTime>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QStyleOption>

#include <new>

VVideoRenderCPUPaintWidget::VVideoRenderCPUPaintWidget(QWidget *parent) : QWidget(parent)
{
    m_repaintTimer.setInterval(50);
    m_repaintTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_repaintTimer, &QTimer::timeout, this, QOverload<>::of(&QWidget::update));
}

VVideoRenderCPUPaintWidget::~VVideoRenderCPUPaintWidget()
{
    if (m_fpsTool)
        m_fpsTool->deleteLater();
}

void VVideoRenderCPUPaintWidget::inputFrame(VideoFrameItem item)
{
    if (!item.frame)
        return;
    const VideoFrameData &frame = *item.frame;
    if (!m_scratch.accept(frame))
        return;
    const qint64 pixelsSize = static_cast<qint64>(frame.width) * frame.height * 4;
    if (!m_pixels || pixelsSize != m_pixelsSize) {
        m_pixels.reset(new (std::nothrow) uint32_t[static_cast<size_t>(pixelsSize / 4)]);
        m_pixelsSize = m_pixels ? pixelsSize : 0;
        if (!m_pixels)
            return;
    }
    const uint8_t *planes = I420FrameBlock::packedPlanes(frame);
    if (!planes) {
        if (!m_scratch.copyFrom(frame))
            return;
        planes = m_scratch.data();
    }
    i420ToArgb(planes, m_pixels.get(), frame.width, frame.height);
    m_ring.write(reinterpret_cast<const uint8_t *>(m_pixels.get()), m_pixelsSize, frame.width, frame.height, false);

    // The timer repaints while running; a frame after a long pause need not wait for it.
    if (QDateTime::currentMSecsSinceEpoch() - m_lastPaintMs.load() > 100)
        QMetaObject::invokeMethod(this, "update", Qt::QueuedConnection);
}

void VVideoRenderCPUPaintWidget::stopRender()
{
    m_repaintTimer.stop();
    m_ring.reset();
    update();
}

void VVideoRenderCPUPaintWidget::startRender()
{
    m_repaintTimer.start();
}

void VVideoRenderCPUPaintWidget::drawBackground(QPainter &painter)
{
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
}

void VVideoRenderCPUPaintWidget::paintEvent(QPaintEvent *)
{
    if (!m_fpsTool)
        m_fpsTool = new VRtcFpsCalculateTool();
    m_fpsTool->start();
    QPainter painter(this);
    if (m_repaintTimer.isActive()) {
        const VideoFrameRing::Slot &slot = m_ring.read();
        if (slot.length == 0) {
            drawBackground(painter);
            return;
        }
        // The slot is safe to read unlocked: the writer never fills the painter's slot.
        const QImage image(slot.data.data(), slot.width, slot.height, QImage::Format_ARGB32);
        if (image.isNull() || height() <= 0) {
            drawBackground(painter);
            return;
        }
        const QImage scaled = image.scaledToHeight(height(), Qt::SmoothTransformation);
        painter.setBrush(QBrush(Qt::black, Qt::SolidPattern));
        painter.fillRect(rect(), QBrush(Qt::black, Qt::SolidPattern));
        QRect target = scaled.rect();
        target.moveCenter(QRect(0, 0, painter.device()->width(), painter.device()->height()).center());
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(target.topLeft(), QPixmap::fromImage(scaled));
        m_lastPaintMs = QDateTime::currentMSecsSinceEpoch();
    } else {
        drawBackground(painter);
    }
    m_fpsTool->record(3);
}
