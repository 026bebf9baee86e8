#include "VideoRender.h"

#include "GLYuvWidget.h"
#include "VVideoRenderCPUPaintWidget.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QResizeEvent>
#include <QSurfaceFormat>

VideoRender::VideoRender(QWidget *parent) : VideoRender(createRenderer(), parent)
{
}

VideoRender::VideoRender(VVideoRenderAbstract *renderer, QWidget *parent) : QWidget(parent), m_renderer(renderer)
{
    QWidget *widget = rendererWidget();
    widget->setParent(this);
    widget->resize(size());
    widget->setAttribute(Qt::WA_TransparentForMouseEvents);
}

VideoRender::~VideoRender()
{
    {
        QMutexLocker locker(&m_stateMutex);
        m_stopped = true;
        m_userId.clear();
    }
    rendererWidget()->deleteLater();
}

QWidget *VideoRender::rendererWidget() const
{
    return dynamic_cast<QWidget *>(m_renderer);
}

bool VideoRender::isStopped() const
{
    QMutexLocker locker(&m_stateMutex);
    return m_stopped;
}

QString VideoRender::userId() const
{
    QMutexLocker locker(&m_stateMutex);
    return m_userId;
}

void VideoRender::startRender(const QString &userId)
{
    QMutexLocker locker(&m_stateMutex);
    if (!m_stopped)
        return;
    m_userId = userId;
    m_stopped = false;
    m_renderer->startRender();
}

void VideoRender::stopRender()
{
    QMutexLocker locker(&m_stateMutex);
    m_userId.clear();
    m_stopped = true;
    m_renderer->stopRender();
}

void VideoRender::inputFrame(VideoFrameItem item)
{
    QMutexLocker locker(&m_stateMutex);
    if (item.userId.isEmpty() || item.userId != m_userId)
        return;
    m_renderer->inputFrame(std::move(item));
}

void VideoRender::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    rendererWidget()->resize(event->size());
}

VVideoRenderAbstract *VideoRender::createRenderer()
{
    if (openGLAvailable())
        return new GLYuvWidget();
    return new VVideoRenderCPUPaintWidget();
}

bool VideoRender::openGLAvailable()
{
    QSurfaceFormat format;
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setVersion(3, 3);
    QOpenGLContext context;
    context.setFormat(format);
    if (!context.create() || !context.isValid())
        return false;
    QOffscreenSurface surface;
    surface.setFormat(format);
    surface.create();
    const bool current = context.makeCurrent(&surface);
    if (current)
        context.doneCurrent();
    return current;
}
