#include "GIFStyle.h"

#include <QPainter>
#include <QPainterPath>

GIFStyle::GIFStyle(int radius, QStyle *base) : QProxyStyle(base), m_radius(radius)
{
}

void GIFStyle::setRadius(int radius)
{
    if (radius >= 0)
        m_radius = radius;
}

void GIFStyle::setBorder(int border)
{
    if (border >= 0)
        m_border = border;
}

void GIFStyle::drawItemPixmap(QPainter *painter, const QRect &rect, int, const QPixmap &pixmap) const
{
    painter->save();
    painter->setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter->setBrush(Qt::white);
    painter->setPen(Qt::transparent);
    painter->drawRoundedRect(rect, m_radius, m_radius);

    QRect inner = rect.adjusted(m_border, m_border, -m_border, -m_border);
    inner.setTopLeft(QPoint(m_border, m_border));
    QPainterPath clip;
    clip.addRoundedRect(inner, m_radius, m_radius);
    painter->setClipPath(clip, Qt::ReplaceClip);
    painter->drawPixmap(inner, pixmap);
    painter->restore();
}
