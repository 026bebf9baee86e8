#pragma once

#include "SafeModeForm.h"

#include <QWidget>

class QCalendarWidget;
class QDate;
class QLabel;
class QLineEdit;
class SafeModeCloser;
class VToast;

// Unlocks chat safe mode with the payment dates of three earlier orders, picked from a calendar
// shared by the three date fields or typed.
class VCheckOrderWidget : public QWidget
{
    Q_OBJECT
public:
    explicit VCheckOrderWidget(QWidget *parent);

    // Hides the calendar, empties the date fields and brings the dialog up.
    void showWidget();
    void checkOrderDates();
    void onDateClicked(const QDate &date);
    // Hides the calendar and selects today in it.
    void resetCalendar();

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void sigBack();

private:
    // Shows the calendar at (35, y) for the field, or toggles it when it already serves that field.
    void openCalendarFor(int field, int y);

    SafeModeForm m_form;
    QLabel *m_label_txt = nullptr;
    QLineEdit *m_lineEdit_order[3] = {};
    QCalendarWidget *m_calendarWidget = nullptr;
    // Which date field the calendar serves: 0, 1 or 2.
    int m_activeDateField = 0;
    VToast *m_toast = nullptr;
    SafeModeCloser *m_closer = nullptr;
};
