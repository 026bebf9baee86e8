#include "SafeModeCloser.h"

#include "SafeModeForm.h"

#include <QPushButton>
#include <QWidget>

SafeModeCloser::SafeModeCloser(QWidget *dialog, const SafeModeForm &form, std::function<void()> emitBack)
    : QObject(dialog), m_dialog(dialog), m_closeTimer(this)
{
    connect(form.pushButton_back, &QPushButton::clicked, this, [this, emitBack] {
        if (!m_canClose)
            return;
        m_dialog->close();
        emitBack();
    });
    connect(form.pushButton_close, &QPushButton::clicked, this, [this] {
        if (m_canClose)
            m_dialog->close();
    });

    m_closeTimer.setObjectName(QStringLiteral("closeTimer"));
    m_closeTimer.setSingleShot(true);
    m_closeTimer.setInterval(3000);
    // Owned by the dialog: it cannot fire once the dialog is gone.
    connect(&m_closeTimer, &QTimer::timeout, this, [this] {
        m_dialog->close();
        m_canClose = true;
    });
}

void SafeModeCloser::closeLater()
{
    m_canClose = false;
    m_closeTimer.start();
}
