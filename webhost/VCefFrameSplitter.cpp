#include "VCefFrameSplitter.h"

#include <QDebug>
#include <QtEndian>

QVector<stuCefViewResponse> VCefFrameSplitter::feed(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    QVector<stuCefViewResponse> records;
    const quint64 size = quint64(m_buffer.size());
    quint64 pos = 0;
    while (size - pos >= 4) {
        const quint32 length = qFromLittleEndian<quint32>(m_buffer.constData() + pos);
        // 64-bit sum: a length near 2^32 waits for its bytes instead of wrapping around.
        if (size - pos < quint64(length) + 4)
            break;
        const QByteArray body = QByteArray::fromRawData(m_buffer.constData() + pos + 4, int(length));
        QDataStream in(body);
        stuCefViewResponse resp;
        in >> resp;
        pos += quint64(length) + 4;
        if (in.status() != QDataStream::Ok) {
            qWarning() << "[CEFLOG]" << "drop short frame, body bytes:" << length;
            continue;
        }
        records.append(resp);
    }
    if (pos > 0)
        m_buffer.remove(0, int(pos));
    return records;
}

void VCefFrameSplitter::clear()
{
    m_buffer.clear();
}
