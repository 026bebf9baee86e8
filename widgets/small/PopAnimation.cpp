#include "PopAnimation.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QPropertyAnimation>
#include <QRandomGenerator>
#include <QtDebug>

#include <cstdlib>

namespace {
const int kLaunchSize = 68;
const char kLaunchImage[] = ":/FriendChat/FriendChat/ic_biubiu.png";

int randomBelow(int bound)
{
    return bound > 0 ? int(QRandomGenerator::global()->generate() % quint32(bound)) : 0;
}
} // namespace

PopAnimation::PopAnimation(QWidget *parent) : QWidget(parent)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_DeleteOnClose);
    connect(&m_launchGroup, &QAbstractAnimation::finished, this, &PopAnimation::sltStartAnimationGroup);
    connect(&m_burstGroup, &QAbstractAnimation::finished, this, &QWidget::close);
}

void PopAnimation::setImages(const QStringList &images)
{
    m_images = images;
}

void PopAnimation::setCount(int n)
{
    m_count = n;
    const QPoint centre = rect().center();
    for (int i = 0; i < n; ++i) {
        const int side = i < n / 2 ? 28 : 68;
        auto *label = new QLabel(this);
        label->hide();
        label->resize(side, side);
        label->move(centre - QPoint(side / 2, side / 2));
        // An empty image list leaves the icon blank rather than dividing by zero.
        if (!m_images.isEmpty())
            label->setStyleSheet(QStringLiteral("border-image: url(%1);").arg(m_images.at(std::rand() % m_images.size())));
        else
            qWarning() << "[PopAnimation] no images for the burst";
        m_labelSizes.insert(label, label->size());

        auto *animation = new QPropertyAnimation(label, "geometry");
        animation->setDuration(m_burstDuration);
        animation->setEasingCurve(QEasingCurve::OutCurve);
        m_animationSizes.insert(animation, label->size());
        m_burstGroup.addAnimation(animation);
    }
}

void PopAnimation::resizeTo(const QSize &size)
{
    const int duration = 500 * (size.width() / m_baseArea.width());
    if (duration > 0)
        m_launchDuration = duration;
    resize(size);

    m_launchGroup.clear();
    if (!m_launchLabel)
        m_launchLabel = new QLabel(this);
    m_launchLabel->setStyleSheet(QStringLiteral("border-image: url(%1);").arg(QLatin1String(kLaunchImage)));
    m_launchLabel->resize(kLaunchSize, kLaunchSize);
    const QPoint corner(width() - kLaunchSize, height() - kLaunchSize);
    m_launchLabel->move(corner);

    auto *fly = new QPropertyAnimation(m_launchLabel, "pos");
    fly->setDuration(m_launchDuration);
    fly->setStartValue(corner);
    fly->setEndValue(QPoint((width() - kLaunchSize) / 2, (height() - kLaunchSize) / 2));
    m_launchGroup.addAnimation(fly);

    auto *effect = new QGraphicsOpacityEffect(m_launchLabel);
    m_launchLabel->setGraphicsEffect(effect);
    auto *fade = new QPropertyAnimation(effect, "opacity");
    fade->setDuration(m_launchDuration);
    fade->setStartValue(1.0);
    fade->setEndValue(0.0);
    m_launchGroup.addAnimation(fade);
}

void PopAnimation::start()
{
    m_launchGroup.start();
}

void PopAnimation::sltStartAnimationGroup()
{
    const QPoint centre = rect().center();
    for (auto it = m_animationSizes.constBegin(); it != m_animationSizes.constEnd(); ++it) {
        const QSize size = it.value();
        const QRect from(centre - QPoint(size.width() / 2, size.height() / 2), size);
        const int x = randomBelow(m_baseArea.width() - size.width()) + (width() - m_baseArea.width()) / 2;
        const int y = randomBelow(m_baseArea.height() - size.height()) + (height() - m_baseArea.height()) / 2;
        it.key()->setStartValue(from);
        it.key()->setEndValue(QRect(QPoint(x, y), size));
    }
    for (QLabel *label : m_labelSizes.keys())
        label->show();
    m_burstGroup.start();
}

void PopAnimation::sltStartAnimationOpacityEffect()
{
    auto *effect = new QGraphicsOpacityEffect(this);
    setGraphicsEffect(effect);
    auto *fade = new QPropertyAnimation(effect, "opacity", this);
    fade->setDuration(m_burstDuration);
    fade->setStartValue(1.0);
    fade->setEndValue(0.0);
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}
