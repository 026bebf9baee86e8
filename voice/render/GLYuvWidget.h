#pragma once

#include "I420FrameBlock.h"
#include "VRtcFpsCalculateTool.h"
#include "VVideoRenderAbstract.h"

#include <QMatrix4x4>
#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLVertexArrayObject>
#include <QOpenGLWidget>
#include <QPointer>

#include <memory>
#include <mutex>

class QOpenGLTexture;

// The OpenGL renderer: uploads the three planes as single-channel textures and converts to
// RGB in the fragment shader. Shown while running.
class GLYuvWidget : public QOpenGLWidget, protected QOpenGLFunctions, public VVideoRenderAbstract
{
    Q_OBJECT
public:
    explicit GLYuvWidget(QWidget *parent = nullptr);
    ~GLYuvWidget() override;

    void inputFrame(VideoFrameItem item) override;
    void stopRender() override;
    void startRender() override;

    // Places a w x h picture in a W x H widget: a landscape picture covers the widget, a
    // portrait one fills its height. Identity when either size is empty.
    static QMatrix4x4 frameTransform(int widgetWidth, int widgetHeight, int frameWidth, int frameHeight);

    // The size of the frame copy held, 0 x 0 before the first frame.
    QSize frameSize() const;

protected:
    void initializeGL() override;
    void paintGL() override;

private:
    GLuint compileShader(GLenum kind, const char *body, const char *failure);

    mutable std::mutex m_frameMutex;
    I420FrameBlock m_frame;

    GLuint m_program = 0;
    QOpenGLBuffer m_vertexBuffer;
    // Core profiles draw nothing without a vertex array object.
    QOpenGLVertexArrayObject m_vertexArray;
    GLint m_texY = -1;
    GLint m_texU = -1;
    GLint m_texV = -1;
    std::unique_ptr<QOpenGLTexture> m_textures[3];
    GLuint m_textureIds[3] = {0, 0, 0};
    QPointer<VRtcFpsCalculateTool> m_fpsTool;
};
