#include "GIFLabel.h"

#include "GIFStyle.h"

#include <QImageReader>

GIFLabel::GIFLabel(QWidget *parent) : QLabel(parent), m_style(new GIFStyle(8))
{
    setStyle(m_style.get());
}

GIFLabel::~GIFLabel()
{
    // The label must not be left on a style that is about to go.
    m_movie.stop();
    setStyle(nullptr);
}

void GIFLabel::setImage(const QString &path)
{
    m_movie.stop();
    clear();
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return;
    if (reader.format() == "gif") {
        setMovie(&m_movie);
        m_movie.setFileName(path);
        m_movie.start();
    } else {
        setPixmap(QPixmap(path));
    }
}

void GIFLabel::setRadius(int radius)
{
    m_style->setRadius(radius);
    update();
}

void GIFLabel::setBorder(int border)
{
    m_style->setBorder(border);
    update();
}

void GIFLabel::resizeEvent(QResizeEvent *event)
{
    m_movie.setScaledSize(size());
    QLabel::resizeEvent(event);
}

void GIFLabel::showEvent(QShowEvent *event)
{
    if (m_movie.isValid() && m_movie.state() != QMovie::Running)
        m_movie.start();
    QLabel::showEvent(event);
}

void GIFLabel::hideEvent(QHideEvent *event)
{
    m_movie.stop();
    QLabel::hideEvent(event);
}
