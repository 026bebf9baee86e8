#pragma once

#include <QLabel>
#include <QMovie>

#include <memory>

class GIFStyle;

// Shows an animated GIF, or a still image, with rounded corners.
class GIFLabel : public QLabel
{
    Q_OBJECT
public:
    explicit GIFLabel(QWidget *parent = nullptr);
    ~GIFLabel() override;

    void setImage(const QString &path);
    void setRadius(int radius);
    void setBorder(int border);

    QMovie *gifMovie() { return &m_movie; }
    GIFStyle *gifStyle() const { return m_style.get(); }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QMovie m_movie;
    std::unique_ptr<GIFStyle> m_style;
};
