#pragma once

#include <QWidget>

class QLabel;

// A fans-club badge: the guard medal and the club name on a coloured capsule.
class VFansClubName : public QWidget
{
    Q_OBJECT
public:
    explicit VFansClubName(QWidget *parent = nullptr);

    void setName(const QString &text);
    void setGuardType(int type);

    QWidget *container() const { return m_container; }
    QLabel *picture() const { return m_picture; }
    QLabel *text() const { return m_text; }

private:
    QWidget *m_container = nullptr;
    QLabel *m_picture = nullptr;
    QLabel *m_text = nullptr;
};
