#pragma once

#include <QProxyStyle>

// Draws item pixmaps clipped to rounded corners on a white rounded backing.
class GIFStyle : public QProxyStyle
{
    Q_OBJECT
public:
    explicit GIFStyle(int radius, QStyle *base = nullptr);

    void setRadius(int radius);
    void setBorder(int border);
    int radius() const { return m_radius; }
    int border() const { return m_border; }

    void drawItemPixmap(QPainter *painter, const QRect &rect, int alignment,
                        const QPixmap &pixmap) const override;

private:
    int m_radius;
    int m_border = 0;
};
