#pragma once

#include <QString>
#include <QWidget>

class QPlainTextEdit;
class QPushButton;

// Developer window: injects a made-up server broadcast exactly as the server connection
// would emit a real one.
class VBroadDebugTool : public QWidget
{
    Q_OBJECT
public:
    explicit VBroadDebugTool(QWidget *parent = nullptr);

    void sendBroadcast(const QString &name, const QString &parameters);

    QPlainTextEdit *nameField() const { return m_name; }
    QPlainTextEdit *paramField() const { return m_params; }
    QPushButton *confirmButton() const { return m_confirm; }

private:
    QPlainTextEdit *m_name = nullptr;
    QPlainTextEdit *m_params = nullptr;
    QPushButton *m_confirm = nullptr;
};
