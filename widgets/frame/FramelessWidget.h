#pragma once

#include <QWidget>

// A frameless base window that keeps the system's edge resizing and follows suspend and resume.
class FramelessWidget : public QWidget
{
    Q_OBJECT
public:
    explicit FramelessWidget(QWidget *parent = nullptr);

    void setBorderWidth(int width) { m_borderWidth = width; }
    void setResizable(bool resizable) { m_resizable = resizable; }
    void setResizableVertically(bool resizable) { m_resizableVertically = resizable; }
    void setResizableHorizontally(bool resizable) { m_resizableHorizontally = resizable; }
    int borderWidth() const { return m_borderWidth; }
    bool isResizable() const { return m_resizable; }

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;

private:
    int m_borderWidth = 4;
    bool m_resizable = true;
    bool m_resizableVertically = true;
    bool m_resizableHorizontally = true;
};
