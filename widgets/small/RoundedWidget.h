#pragma once

#include <QPixmap>
#include <QWidget>

// A picture with rounded corners on a white rim, optionally rotated.
class RoundedWidget : public QWidget
{
    Q_OBJECT
public:
    explicit RoundedWidget(QWidget *parent = nullptr);

    void setPixmapCropped(const QPixmap &pixmap, const QSize &size);
    void setPixmapToWidth(const QPixmap &pixmap, int width);
    void setPixmapToHeight(const QPixmap &pixmap, int height);
    void setRadius(int radius);
    void setRotation(double degrees);
    void setBorder(int border);

    QPixmap pixmap() const { return m_pixmap; }
    int radius() const { return m_radius; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_pixmap;
    int m_radius = 12;
    double m_rotation = 0;
    int m_border = 2;
};
