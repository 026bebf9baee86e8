#pragma once

#include <QByteArray>
#include <QVector>

#include "stuCefViewResponse.h"

// Cuts the web host's byte stream into response records. Partial frames stay until the rest
// arrives; consumed bytes are dropped once per read, not once per frame.
class VCefFrameSplitter
{
public:
    // Appends the bytes and returns every whole record now available, in order. A body shorter
    // than a record is consumed by its length and dropped with a log line.
    QVector<stuCefViewResponse> feed(const QByteArray &bytes);

    // Forgets a partial frame (the connection it came from is gone).
    void clear();

    int pendingBytes() const { return m_buffer.size(); }

private:
    QByteArray m_buffer;
};
