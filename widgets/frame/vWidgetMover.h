#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QTimer>

class QMouseEvent;
class QWidget;

// Lets any widget be dragged by a strip (the top 34 pixels unless an area is set), optionally
// only after a long press; a press released without a long press is a click.
class vWidgetMover : public QObject
{
    Q_OBJECT
public:
    explicit vWidgetMover(QWidget *watched, QObject *parent = nullptr);

    void setLongPressSeconds(int s);
    void setLongPressMs(int ms);
    void setDragArea(const QRect &area) { m_dragArea = area; }
    void setFreeMove(bool free) { m_freeMove = free; }

    bool isDragging() const { return m_dragging; }
    const QTimer &longPressTimer() const { return m_longPressTimer; }

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void sigClicked();

public slots:
    void sltLongPressTimerTimeout();

private:
    void press(QMouseEvent *event);
    void moveTo(QMouseEvent *event);
    bool release();

    QPointer<QWidget> m_watched;
    QPoint m_dragOffset;
    bool m_dragging = false;
    int m_longPressMs = 0;
    QTimer m_longPressTimer;
    QRect m_dragArea;
    bool m_freeMove = true;
    bool m_longPressFired = false;
};
