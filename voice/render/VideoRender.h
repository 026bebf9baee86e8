#pragma once

#include "VVideoRenderAbstract.h"
#include "VideoFrameItem.h"

#include <QMutex>
#include <QString>
#include <QWidget>

// Shows one chosen user's video, with the OpenGL renderer when a 3.3 core context can be
// made and the software one otherwise. Frames may arrive on any thread.
class VideoRender : public QWidget
{
    Q_OBJECT
public:
    explicit VideoRender(QWidget *parent = nullptr);
    // Hosts the given renderer (a QWidget) instead of the one createRenderer picks; takes it over.
    VideoRender(VVideoRenderAbstract *renderer, QWidget *parent);
    ~VideoRender() override;

    bool isStopped() const;
    QString userId() const;

    void startRender(const QString &userId);
    void stopRender();
    // Passes on only frames of the chosen user, so the local capture (empty id) never shows.
    void inputFrame(VideoFrameItem item);

    VVideoRenderAbstract *renderer() const { return m_renderer; }

    static VVideoRenderAbstract *createRenderer();
    static bool openGLAvailable();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    QWidget *rendererWidget() const;

    // Written on the GUI thread, read on the engine's threads; held while a frame is passed
    // on, so no frame reaches the renderer after stopRender returns.
    mutable QMutex m_stateMutex;
    bool m_stopped = true;
    QString m_userId;
    VVideoRenderAbstract *m_renderer = nullptr;
};
