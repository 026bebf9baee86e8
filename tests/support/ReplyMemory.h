#pragma once

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>

// What a compressed reply costs: a reply that inflates to a great deal, and the process's own
// resident size and its peak (reset on demand), for the HTTP worker's test and benchmark.

// text compressed whole: gzip (MAX_WBITS + 16), zlib (MAX_WBITS) or bare deflate (-MAX_WBITS).
inline std::string compressed(const std::string &text, int windowBits)
{
    z_stream s{};
    deflateInit2(&s, 6, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&s, uLong(text.size())), '\0');
    s.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(text.data()));
    s.avail_in = uInt(text.size());
    s.next_out = reinterpret_cast<Bytef *>(&out[0]);
    s.avail_out = uInt(out.size());
    deflate(&s, Z_FINISH);
    out.resize(s.total_out);
    deflateEnd(&s);
    return out;
}

// A gzip stream of size zero bytes, made a megabyte at a time.
inline std::string gzipOfZeros(int64_t size)
{
    z_stream s{};
    deflateInit2(&s, 9, Z_DEFLATED, MAX_WBITS + 16, 9, Z_DEFAULT_STRATEGY);
    static const std::string block(1 << 20, '\0');
    std::string out;
    char buffer[1 << 16];
    for (int64_t left = size;;) {
        const int64_t n = std::min<int64_t>(left, int64_t(block.size()));
        left -= n;
        s.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(block.data()));
        s.avail_in = uInt(n);
        const int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        int rc;
        do {
            s.next_out = reinterpret_cast<Bytef *>(buffer);
            s.avail_out = sizeof buffer;
            rc = deflate(&s, flush);
            out.append(buffer, sizeof buffer - s.avail_out);
        } while (s.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
        if (left == 0)
            break;
    }
    deflateEnd(&s);
    return out;
}

// A kB figure of /proc/self/status ("VmRSS:", "VmHWM:"); -1 when it cannot be read.
inline int64_t statusKb(const std::string &key)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, key.size(), key) == 0) {
            std::istringstream value(line.substr(key.size()));
            int64_t kb = -1;
            value >> kb;
            return kb;
        }
    }
    return -1;
}

// Resets the peak resident size ("VmHWM:") to the present one; false when the kernel refuses.
inline bool resetPeakResident()
{
    std::ofstream refs("/proc/self/clear_refs");
    refs << "5";
    refs.flush();
    return bool(refs);
}
