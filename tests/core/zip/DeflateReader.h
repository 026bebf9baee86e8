#pragma once

#include <QByteArray>

#include <vector>

// A small independent decoder of raw deflate streams that also reports the block types and the
// matches it meets, so tests can see which choices the compressor made.
struct DeflateReader {
    struct Match {
        int length;
        int distance;
    };
    bool ok = false;
    QByteArray output;
    std::vector<int> blockTypes;
    std::vector<Match> matches;
    bool alignedEnd = false;  // the final block's last bits end at a byte edge or with zero padding
    int bytesUsed = 0;

    explicit DeflateReader(const QByteArray &stream);
};
