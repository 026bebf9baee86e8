#pragma once

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>

// Drags a window after the cursor in 60 ms steps while a page asks for it, until the page
// says stop or the cursor leaves the window.
class VCefWidgetMover : public QObject
{
    Q_OBJECT
public:
    VCefWidgetMover(QWidget *widget, QObject *parent = nullptr);

    void start();
    void stop();
    bool isRunning() const { return m_timer.isActive(); }

    // Seam for tests: where the cursor is (the screen's cursor by default).
    void setCursorSource(std::function<QPoint()> source) { m_cursor = std::move(source); }

private slots:
    void sltMoveTimerTimeout();

private:
    QPoint cursorPos() const;

    QPointer<QWidget> m_widget;
    QTimer m_timer;
    QPoint m_startCursor;
    QPoint m_startPos;
    std::function<QPoint()> m_cursor;
};
