#include "vProgressBar.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

vProgressBar::vProgressBar(QWidget *parent) : QProgressBar(parent)
{
}

void vProgressBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    const int r = height() / 2;
    painter.setPen(Qt::transparent);
    painter.setBrush(QColor(255, 255, 255, 51));
    painter.drawRoundedRect(rect(), r, r);

    // No range (maximum 0) or a flat bar has nothing to fill; a value out of range stays inside.
    if (maximum() <= 0 || r <= 0)
        return;
    const double fill = qBound(0.0, double(width()) * value() / maximum(), double(width()));
    if (fill <= 0.0)
        return;

    QPainterPath path;
    const double d = 2.0 * r;
    if (fill <= r) {
        const double a = qRadiansToDegrees(qAcos(qAbs(fill - r) / r));
        const int whole = int(a);
        const double rad = qDegreesToRadians(double(whole));
        path.moveTo(fill, r - r * qSin(rad));
        path.arcTo(QRectF(0, 0, d, d), 180 - whole, whole);
        path.arcTo(QRectF(0, 0, d, d), 180, whole);
        path.closeSubpath();
    } else if (fill > width() - r) {
        path.moveTo(r, 0);
        path.arcTo(QRectF(0, 0, d, d), 90, 90);
        path.arcTo(QRectF(0, 0, d, d), 180, 90);
        path.lineTo(fill - r, d);
        path.arcTo(QRectF(fill - d, 0, d, d), 270, 90);
        path.arcTo(QRectF(fill - d, 0, d, d), 0, 90);
        path.closeSubpath();
    } else {
        path.moveTo(r, 0);
        path.arcTo(QRectF(0, 0, d, d), 90, 90);
        path.arcTo(QRectF(0, 0, d, d), 180, 90);
        path.lineTo(fill, d);
        path.lineTo(fill, 0);
        path.closeSubpath();
    }
    QLinearGradient gradient(0, 0, fill, 0);
    gradient.setColorAt(0, QColor(14, 70, 255));
    gradient.setColorAt(1, QColor(0, 255, 252));
    painter.fillPath(path, gradient);
}
