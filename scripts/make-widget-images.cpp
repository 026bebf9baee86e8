// Draws the stand-in images of the widget kit (resources/widgets/) and the arrows of the
// chat-safe-mode dialogs (resources/chat/chat/): flat shapes, no text.
// Build and run through scripts/make-widget-images.sh.
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace {

bool save(const QString &root, const QString &path, const QImage &image)
{
    const QString file = root + QLatin1Char('/') + path;
    QDir().mkpath(QFileInfo(file).absolutePath());
    if (!image.save(file)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
        return false;
    }
    return true;
}

QImage canvas(int w, int h, QColor fill = Qt::transparent)
{
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(fill);
    return image;
}

QImage cross(int size, QColor colour)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, size / 10.0 + 1, Qt::SolidLine, Qt::RoundCap));
    const qreal m = size * 0.28;
    p.drawLine(QPointF(m, m), QPointF(size - m, size - m));
    p.drawLine(QPointF(size - m, m), QPointF(m, size - m));
    return image;
}

QImage heart(int size, QColor colour)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    const qreal s = size;
    path.moveTo(s / 2, s * 0.85);
    path.cubicTo(s * 0.05, s * 0.55, s * 0.1, s * 0.1, s / 2, s * 0.3);
    path.cubicTo(s * 0.9, s * 0.1, s * 0.95, s * 0.55, s / 2, s * 0.85);
    p.fillPath(path, colour);
    return image;
}

QImage burst(int size)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(size / 2.0, size / 2.0, size / 2.0);
    g.setColorAt(0, QColor(255, 240, 120));
    g.setColorAt(1, QColor(255, 80, 160, 0));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawEllipse(0, 0, size, size);
    return image;
}

QImage tick(int w, int h)
{
    QImage image = canvas(w, h, QColor(0x50, 0xF9, 0xFF)).convertToFormat(QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0x21, 0x24, 0x26), 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygonF({QPointF(w * 0.35, h * 0.5), QPointF(w * 0.47, h * 0.7), QPointF(w * 0.68, h * 0.3)}));
    return image;
}

// A chevron whose point is on the left ("<") or, mirrored, on the right (">").
QImage chevron(int size, QColor colour, bool pointsLeft)
{
    QImage image = canvas(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, size / 8.0 + 0.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    const qreal s = size;
    const qreal point = pointsLeft ? s * 0.32 : s * 0.68;
    const qreal arms = pointsLeft ? s * 0.66 : s * 0.34;
    p.drawPolyline(QPolygonF({QPointF(arms, s * 0.14), QPointF(point, s * 0.5), QPointF(arms, s * 0.86)}));
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <resources folder>\n", argv[0]);
        return 2;
    }
    const QString resources = QString::fromLocal8Bit(argv[1]);
    const QString widgets = resources + QStringLiteral("/widgets");
    const QString chat = resources + QStringLiteral("/chat/chat");
    const QColor dark(0x21, 0x24, 0x26);
    bool ok = true;
    ok &= save(widgets, "panel_close.png", cross(20, Qt::white));
    ok &= save(widgets, "universal/ico_gb_black.png", cross(25, dark));
    ok &= save(widgets, "universal/control.jpg", tick(50, 31));
    ok &= save(widgets, "FriendChat/ic_biubiu.png", burst(68));
    ok &= save(widgets, "LiveRoom/live_ic_love2.png", heart(14, QColor(255, 90, 150)));
    // Back and previous month point left, next month right. Back sits on the dark dialog, the
    // month arrows on the calendar's white navigation bar.
    ok &= save(chat, "ic_back.png", chevron(18, Qt::white, true));
    ok &= save(chat, "ic_left.png", chevron(16, dark, true));
    ok &= save(chat, "ic_right.png", chevron(16, dark, false));
    return ok ? 0 : 1;
}
