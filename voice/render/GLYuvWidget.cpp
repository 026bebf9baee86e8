#include "GLYuvWidget.h"

#include <QOpenGLContext>
#include <QOpenGLTexture>
#include <QtDebug>

namespace {

const char kVertexBody[] =
    "in vec2 vertexIn;\n"
    "in vec2 textureIn;\n"
    "out vec2 textureOut;\n"
    "uniform mat4 transform;\n"
    "void main(void)\n"
    "{\n"
    "    gl_Position = transform * vec4(vertexIn, 0.0, 1.0);\n"
    "    textureOut = textureIn;\n"
    "}\n";

const char kFragmentBody[] =
    "in vec2 textureOut;\n"
    "out vec4 fragColor;\n"
    "uniform sampler2D tex_y;\n"
    "uniform sampler2D tex_u;\n"
    "uniform sampler2D tex_v;\n"
    "void main(void)\n"
    "{\n"
    "    vec3 yuv;\n"
    "    yuv.x = texture(tex_y, textureOut).r - 16.0 / 255.0;\n"
    "    yuv.y = texture(tex_u, textureOut).r - 0.5;\n"
    "    yuv.z = texture(tex_v, textureOut).r - 0.5;\n"
    "    vec3 rgb = mat3(1.164, 1.164, 1.164,\n"
    "                    0.0, -0.392, 2.017,\n"
    "                    1.596, -0.813, 0.0) * yuv;\n"
    "    fragColor = vec4(clamp(rgb, 0.0, 1.0), 1.0);\n"
    "}\n";

// The same shader text serves core, compatibility and ES contexts.
QByteArray glslHeader()
{
    const QOpenGLContext *context = QOpenGLContext::currentContext();
    if (context && context->isOpenGLES())
        return "#version 300 es\nprecision mediump float;\n";
    if (context && context->format().profile() == QSurfaceFormat::CoreProfile)
        return "#version 330 core\n";
    return "#version 130\n";
}

const GLfloat kVertices[] = {
    -1.0f, -1.0f, 1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f, // positions
    0.0f, 1.0f, 1.0f, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f,     // texture coordinates
};

} // namespace

GLYuvWidget::GLYuvWidget(QWidget *parent) : QOpenGLWidget(parent), m_vertexBuffer(QOpenGLBuffer::VertexBuffer)
{
}

GLYuvWidget::~GLYuvWidget()
{
    makeCurrent();
    if (m_program != 0) {
        m_vertexArray.destroy();
        m_vertexBuffer.destroy();
        for (auto &texture : m_textures)
            texture.reset();
        glDeleteProgram(m_program);
        m_program = 0;
    }
    {
        std::lock_guard<std::mutex> locker(m_frameMutex);
        m_frame.clear();
    }
    doneCurrent();
    if (m_fpsTool)
        m_fpsTool->deleteLater();
}

void GLYuvWidget::inputFrame(VideoFrameItem item)
{
    if (item.frame) {
        std::lock_guard<std::mutex> locker(m_frameMutex);
        m_frame.copyFrom(*item.frame);
    }
    // Also after a dropped frame: the previous picture is simply drawn again.
    QMetaObject::invokeMethod(this, "update", Qt::QueuedConnection);
}

void GLYuvWidget::stopRender()
{
    hide();
}

void GLYuvWidget::startRender()
{
    show();
}

QSize GLYuvWidget::frameSize() const
{
    std::lock_guard<std::mutex> locker(m_frameMutex);
    return QSize(m_frame.width(), m_frame.height());
}

QMatrix4x4 GLYuvWidget::frameTransform(int widgetWidth, int widgetHeight, int frameWidth, int frameHeight)
{
    QMatrix4x4 matrix;
    if (widgetWidth <= 0 || widgetHeight <= 0 || frameWidth <= 0 || frameHeight <= 0)
        return matrix;
    const float aspect = float(widgetWidth) / float(widgetHeight);
    const float ratio = float(frameHeight) / float(frameWidth);
    const float fitHeight = float(widgetWidth) * ratio;
    const float sx = 1.0f;
    const float sy = float(widgetHeight) / fitHeight;
    const bool portrait = frameWidth < frameHeight;
    const float s = (sx > sy && !portrait) ? sx : sy;
    matrix.scale(1.0f, aspect * ratio, 1.0f);
    matrix.scale(s, s, 1.0f);
    return matrix;
}

GLuint GLYuvWidget::compileShader(GLenum kind, const char *body, const char *failure)
{
    const QByteArray source = glslHeader() + body;
    const char *text = source.constData();
    const GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint success = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &success);
    if (!success) {
        char info[512] = {0};
        glGetShaderInfoLog(shader, sizeof(info), nullptr, info);
        qWarning().noquote() << failure + QString::fromUtf8(info);
    }
    return shader;
}

void GLYuvWidget::initializeGL()
{
    initializeOpenGLFunctions();
    glEnable(GL_DEPTH_TEST);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);

    const GLuint vertex = compileShader(GL_VERTEX_SHADER, kVertexBody, "ERROR::SHADER::VERTEX::COMPILATION_FAILED ");
    const GLuint fragment =
        compileShader(GL_FRAGMENT_SHADER, kFragmentBody, "ERROR::SHADER::FRAGMENT::COMPILATION_FAILED ");
    m_program = glCreateProgram();
    glAttachShader(m_program, vertex);
    glAttachShader(m_program, fragment);
    glBindAttribLocation(m_program, 0, "vertexIn");
    glBindAttribLocation(m_program, 1, "textureIn");
    glLinkProgram(m_program);
    GLint linked = 0;
    glGetProgramiv(m_program, GL_LINK_STATUS, &linked);
    if (!linked) {
        char info[512] = {0};
        glGetProgramInfoLog(m_program, sizeof(info), nullptr, info);
        qWarning().noquote() << QStringLiteral("ERROR::SHADER::PROGRAM::LINKING_FAILED ") + QString::fromUtf8(info);
    }
    glDeleteShader(vertex);
    glDeleteShader(fragment);

    m_vertexArray.create();
    m_vertexArray.bind();
    m_vertexBuffer.create();
    m_vertexBuffer.bind();
    m_vertexBuffer.allocate(kVertices, sizeof(kVertices));
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_TRUE, 2 * sizeof(GLfloat), reinterpret_cast<const void *>(0));
    glVertexAttribPointer(1, 2, GL_FLOAT, GL_TRUE, 2 * sizeof(GLfloat), reinterpret_cast<const void *>(8 * sizeof(GLfloat)));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(1);

    m_texY = glGetUniformLocation(m_program, "tex_y");
    m_texU = glGetUniformLocation(m_program, "tex_u");
    m_texV = glGetUniformLocation(m_program, "tex_v");
    for (int i = 0; i < 3; ++i) {
        m_textures[i].reset(new QOpenGLTexture(QOpenGLTexture::Target2D));
        m_textures[i]->create();
        m_textureIds[i] = m_textures[i]->textureId();
    }
    glUseProgram(m_program);
    glUniform1i(m_texY, 0);
    glUniform1i(m_texU, 1);
    glUniform1i(m_texV, 2);
}

void GLYuvWidget::paintGL()
{
    if (!m_fpsTool)
        m_fpsTool = new VRtcFpsCalculateTool();
    m_fpsTool->start();
    {
        std::lock_guard<std::mutex> locker(m_frameMutex);
        glUseProgram(m_program);
        QOpenGLVertexArrayObject::Binder vertexArray(&m_vertexArray);
        const uint8_t *block = m_frame.data();
        if (block) {
            const int w = m_frame.width();
            const int h = m_frame.height();
            const uint8_t *planes[3] = {
                block,
                block + static_cast<size_t>(w) * h,
                block + static_cast<size_t>(double(w) * h * 5 / 4),
            };
            for (int i = 0; i < 3; ++i) {
                const int pw = i == 0 ? w : w / 2;
                const int ph = i == 0 ? h : h / 2;
                glBindTexture(GL_TEXTURE_2D, m_textureIds[i]);
                glTexImage2D(GL_TEXTURE_2D, 0, GL_RED, pw, ph, 0, GL_RED, GL_UNSIGNED_BYTE, planes[i]);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
                glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            }
            const QMatrix4x4 transform = frameTransform(width(), height(), w, h);
            glUniformMatrix4fv(glGetUniformLocation(m_program, "transform"), 1, GL_FALSE, transform.constData());
            const GLenum error = glGetError();
            if (error != GL_NO_ERROR)
                qWarning() << "glUniformMatrix4fv: " << error;
        }
        glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        for (int i = 0; i < 3; ++i) {
            glActiveTexture(GL_TEXTURE0 + i);
            glBindTexture(GL_TEXTURE_2D, m_textureIds[i]);
        }
        glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
        glActiveTexture(GL_TEXTURE0);
    }
    m_fpsTool->record(2);
}
