#include "RoundedWidget.h"

#include <QPainter>
#include <QPainterPath>

RoundedWidget::RoundedWidget(QWidget *parent) : QWidget(parent)
{
}

void RoundedWidget::setPixmapCropped(const QPixmap &pixmap, const QSize &size)
{
    const QPixmap scaled = pixmap.scaled(size, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    const QRect part(QPoint((scaled.width() - size.width()) / 2, (scaled.height() - size.height()) / 2), size);
    m_pixmap = scaled.copy(part);
    update();
}

void RoundedWidget::setPixmapToWidth(const QPixmap &pixmap, int width)
{
    m_pixmap = pixmap.scaledToWidth(width, Qt::SmoothTransformation);
    update();
}

void RoundedWidget::setPixmapToHeight(const QPixmap &pixmap, int height)
{
    m_pixmap = pixmap.scaledToHeight(height, Qt::SmoothTransformation);
    update();
}

void RoundedWidget::setRadius(int radius)
{
    if (radius > 0)
        m_radius = radius;
}

void RoundedWidget::setRotation(double degrees)
{
    m_rotation = degrees;
}

void RoundedWidget::setBorder(int border)
{
    m_border = border;
}

void RoundedWidget::paintEvent(QPaintEvent *)
{
    if (m_pixmap.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const QPointF centre = QRectF(rect()).center();
    painter.translate(centre);
    painter.rotate(m_rotation);
    painter.translate(-centre);

    QRect picture = m_pixmap.rect();
    picture.moveCenter(rect().center());
    painter.setPen(Qt::transparent);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(picture.adjusted(-m_border, -m_border, m_border, m_border), m_radius, m_radius);
    QPainterPath clip;
    clip.addRoundedRect(picture, m_radius, m_radius);
    painter.setClipPath(clip);
    painter.drawPixmap(picture, m_pixmap);
}
