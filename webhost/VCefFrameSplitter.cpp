#include "VCefFrameSplitter.h"

#include <QBuffer>
#include <QDebug>
#include <QtEndian>

namespace {

// Whether the record's two counted fields (message, data) fit in the body as their lengths say.
// Reading them with QDataStream would first allocate what a length announces (up to 2 MiB
// per field) before finding the bytes missing; a record that does not fit is dropped unread.
bool countedFieldsFit(const char *body, quint64 length)
{
    quint64 pos = 8 + 4 + 4; // id, type, code
    for (int field = 0; field < 2; ++field) {
        if (length < pos + 4)
            return false;
        const quint32 bytes = qFromBigEndian<quint32>(body + pos);
        pos += 4;
        if (bytes == 0xffffffffu) // null
            continue;
        pos += bytes;
        if (length < pos)
            return false;
    }
    return true;
}

} // namespace

QVector<stuCefViewResponse> VCefFrameSplitter::feed(const QByteArray &bytes)
{
    m_buffer.append(bytes);
    QVector<stuCefViewResponse> records;
    const quint64 size = quint64(m_buffer.size());
    // One stream over the whole buffer, positioned at each body in turn: no copy per frame.
    QBuffer device(&m_buffer);
    device.open(QIODevice::ReadOnly);
    QDataStream in(&device);
    quint64 pos = 0;
    while (size - pos >= 4) {
        const quint32 length = qFromLittleEndian<quint32>(m_buffer.constData() + pos);
        // 64-bit sum: a length near 2^32 waits for its bytes instead of wrapping around.
        const quint64 end = pos + 4 + quint64(length);
        if (size < end)
            break;
        stuCefViewResponse resp;
        // A body too short for the record ends inside it or reads into what follows.
        bool whole = countedFieldsFit(m_buffer.constData() + pos + 4, length);
        if (whole) {
            device.seek(qint64(pos + 4));
            in >> resp;
            whole = in.status() == QDataStream::Ok && quint64(device.pos()) <= end;
            in.resetStatus();
        }
        pos = end;
        if (!whole) {
            qWarning() << "[CEFLOG]" << "drop short frame, body bytes:" << length;
            continue;
        }
        records.append(resp);
    }
    device.close();
    if (pos > 0)
        m_buffer.remove(0, int(pos));
    return records;
}

void VCefFrameSplitter::clear()
{
    m_buffer.clear();
}
