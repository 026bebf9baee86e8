#pragma once

#include <QMap>
#include <QParallelAnimationGroup>
#include <QSize>
#include <QStringList>
#include <QWidget>

class QLabel;
class QPropertyAnimation;

// A burst of icons: one icon flies from the bottom-right corner to the centre, then many fly
// out from the centre; the widget closes (and deletes itself) when the burst is over.
class PopAnimation : public QWidget
{
    Q_OBJECT
public:
    explicit PopAnimation(QWidget *parent = nullptr);

    void setImages(const QStringList &images);
    void setCount(int n);
    void resizeTo(const QSize &size);
    void start();

    int launchDuration() const { return m_launchDuration; }
    QParallelAnimationGroup *launchGroup() { return &m_launchGroup; }
    QParallelAnimationGroup *burstGroup() { return &m_burstGroup; }
    QList<QLabel *> burstLabels() const { return m_labelSizes.keys(); }

public slots:
    void sltStartAnimationGroup();
    void sltStartAnimationOpacityEffect();

private:
    QParallelAnimationGroup m_burstGroup;
    QMap<QLabel *, QSize> m_labelSizes;
    QMap<QPropertyAnimation *, QSize> m_animationSizes;
    int m_count = 0;
    QParallelAnimationGroup m_launchGroup;
    int m_launchDuration = 500;
    int m_burstDuration = 1000;
    QSize m_baseArea = QSize(700, 420);
    QStringList m_images = {QStringLiteral(":/FriendChat/FriendChat/ic_biubiu.png")};
    QLabel *m_launchLabel = nullptr;
};
