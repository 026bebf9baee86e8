#include "vSystemTrayWarn.h"
#include "ui_vSystemTrayWarn.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QSettings>

vSystemTrayWarn::vSystemTrayWarn(QWidget *parent) : QWidget(parent), ui(new Ui::systemTrayWarn)
{
    ui->setupUi(this);
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    ui->radioButton_TrayMin->setChecked(true);
    connect(ui->pushButton_trayClose, &QPushButton::clicked, this, &QWidget::close);
    connect(ui->pushButton_traySure, &QPushButton::clicked, this, &vSystemTrayWarn::sltSaveINI);
}

vSystemTrayWarn::~vSystemTrayWarn()
{
    delete ui;
}

void vSystemTrayWarn::showAndActivate()
{
    show();
    activateWindow();
}

void vSystemTrayWarn::saveChoice()
{
    QSettings settings(QStringLiteral("common.ini"), QSettings::IniFormat);
    m_status = 0;
    if (ui->checkBox_trayCheck->isChecked()) {
        if (ui->radioButton_TrayExit->isChecked())
            m_status = 1;
        else if (ui->radioButton_TrayMin->isChecked())
            m_status = 2;
    }
    settings.beginGroup(QStringLiteral("config"));
    settings.setValue(QStringLiteral("status"), m_status);
    settings.endGroup();
}

void vSystemTrayWarn::sltSaveINI()
{
    saveChoice();
    if (ui->radioButton_TrayExit->isChecked())
        QCoreApplication::quit();
    if (ui->radioButton_TrayMin->isChecked())
        emit sigMinToTray();
    close();
}

void vSystemTrayWarn::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = event->globalPos() - frameGeometry().topLeft();
    }
    QWidget::mousePressEvent(event);
}

void vSystemTrayWarn::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPos() - m_dragOffset);
    QWidget::mouseMoveEvent(event);
}

void vSystemTrayWarn::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}
