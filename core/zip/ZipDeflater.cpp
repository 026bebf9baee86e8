#include "ZipDeflater.h"

#include <cstring>

namespace {

const unsigned kWSize = 32768;
const unsigned kWMask = kWSize - 1;
const unsigned kWindowSize = 2 * kWSize;
const unsigned kHashMask = 0x7FFF;
const unsigned kHashShift = 5;
const unsigned kMinMatch = 3;
const unsigned kMaxMatch = 258;
const unsigned kMinLookahead = kMaxMatch + kMinMatch + 1;
const unsigned kMaxDist = kWSize - kMinLookahead;
const unsigned kTooFar = 4096;
// The match compare may look past the lookahead; the slack keeps those reads inside the window.
const unsigned kWindowSlack = kMaxMatch + 16;

const unsigned kLitBufSize = 32768;
const unsigned kDistBufSize = 32768;

struct LevelConfig {
    unsigned good, lazy, nice, chain;
};
const LevelConfig kLevels[10] = {
    {0, 0, 0, 0},        {4, 4, 8, 4},        {4, 5, 16, 8},       {4, 6, 32, 32},
    {4, 4, 16, 16},      {8, 16, 32, 32},     {8, 16, 128, 128},   {8, 32, 128, 256},
    {32, 128, 258, 1024}, {32, 258, 258, 4096},
};

inline uint64_t load64(const unsigned char *p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}

} // namespace

ZipDeflater::ZipDeflater()
    : m_window(new unsigned char[kWindowSize + kWindowSlack]()),
      m_prev(new uint16_t[kWSize]()),
      m_head(new uint16_t[kHashMask + 1]()),
      m_lBuf(new unsigned char[kLitBufSize]()),
      m_dBuf(new uint16_t[kDistBufSize]()),
      m_flagBuf(new unsigned char[kLitBufSize / 8 + 1]())
{
}

ZipDeflater::~ZipDeflater()
{
    delete[] m_window;
    delete[] m_prev;
    delete[] m_head;
    delete[] m_lBuf;
    delete[] m_dBuf;
    delete[] m_flagBuf;
}

void ZipDeflater::fail(const char *text)
{
    if (!m_error)
        m_error = text;
}

void ZipDeflater::reset(int level, uint16_t &flags, ReadFunction read, FlushFunction flush, char *output,
                        int *textGuess)
{
    m_memory = false;
    m_flush = std::move(flush);
    m_textGuess = textGuess;
    start(level, flags, std::move(read), output, kOutputSize);
}

void ZipDeflater::resetToMemory(int level, uint16_t &flags, ReadFunction read, char *output, unsigned capacity)
{
    m_memory = true;
    m_flush = nullptr;
    m_textGuess = nullptr;
    start(level, flags, std::move(read), output, capacity);
}

void ZipDeflater::start(int level, uint16_t &flags, ReadFunction read, char *output, unsigned capacity)
{
    m_error = nullptr;
    m_read = std::move(read);
    m_out = output;
    m_outCapacity = capacity;
    m_outOffset = 0;
    m_flushed = 0;
    m_biBuf = 0;
    m_biValid = 0;
    m_bitsSent = 0;
    m_compressedLen = 0;

    if (level < 1 || level > 8) {
        fail("bad pack level");
        level = level < 1 ? 1 : 8;
    }
    m_level = level;
    if (level <= 2)
        flags |= 0x04;
    else if (level >= 8)
        flags |= 0x02;
    const LevelConfig &c = kLevels[level];
    m_goodMatch = c.good;
    m_maxLazy = c.lazy;
    m_niceMatch = c.nice;
    m_maxChain = c.chain;

    std::memset(m_head, 0, sizeof(uint16_t) * (kHashMask + 1));
    m_strStart = 0;
    m_blockStart = 0;
    m_matchStart = 0;
    m_prevLength = kMinMatch - 1;
    m_eof = false;
    long n = m_read ? m_read(reinterpret_cast<char *>(m_window), kWindowSize) : 0;
    if (n <= 0) {
        m_eof = true;
        m_lookahead = 0;
    } else {
        m_lookahead = unsigned(n);
        while (m_lookahead < kMinLookahead && !m_eof)
            fillWindow();
        m_insH = m_window[0];
        m_insH = ((m_insH << kHashShift) ^ m_window[1]) & kHashMask;
    }
    initTables();
    initBlock();
}

void ZipDeflater::fillWindow()
{
    unsigned more = kWindowSize - m_lookahead - m_strStart;
    if (m_strStart >= kWSize + kMaxDist) {
        std::memcpy(m_window, m_window + kWSize, kWSize);
        m_matchStart -= kWSize;
        m_strStart -= kWSize;
        m_blockStart -= long(kWSize);
        for (unsigned n = 0; n <= kHashMask; ++n)
            m_head[n] = uint16_t(m_head[n] >= kWSize ? m_head[n] - kWSize : 0);
        for (unsigned n = 0; n < kWSize; ++n)
            m_prev[n] = uint16_t(m_prev[n] >= kWSize ? m_prev[n] - kWSize : 0);
        more += kWSize;
    }
    if (more == 0) {
        fail("no future");
        m_eof = true;
        return;
    }
    long n = m_read(reinterpret_cast<char *>(m_window + m_strStart + m_lookahead), more);
    if (n <= 0)
        m_eof = true;
    else
        m_lookahead += unsigned(n);
}

inline void ZipDeflater::insertString(unsigned pos, unsigned &head)
{
    m_insH = ((m_insH << kHashShift) ^ m_window[pos + kMinMatch - 1]) & kHashMask;
    head = m_head[m_insH];
    m_prev[pos & kWMask] = uint16_t(head);
    m_head[m_insH] = uint16_t(pos);
}

unsigned ZipDeflater::longestMatch(unsigned curMatch)
{
    unsigned chain = m_maxChain;
    const unsigned char *scan = m_window + m_strStart;
    unsigned bestLen = m_prevLength;
    unsigned nice = m_niceMatch;
    const unsigned limit = m_strStart > kMaxDist ? m_strStart - kMaxDist : 0;
    if (m_prevLength >= m_goodMatch)
        chain >>= 2;
    if (nice > m_lookahead)
        nice = m_lookahead;
    unsigned char scanEnd1 = scan[bestLen - 1];
    unsigned char scanEnd = scan[bestLen];
    const uint16_t first2 = uint16_t(scan[0] | (scan[1] << 8));
    do {
        const unsigned char *match = m_window + curMatch;
        if (match[bestLen] != scanEnd || match[bestLen - 1] != scanEnd1
            || uint16_t(match[0] | (match[1] << 8)) != first2)
            continue;
        unsigned len = 2;
        for (;;) {
            uint64_t diff = load64(scan + len) ^ load64(match + len);
            if (diff) {
                len += unsigned(__builtin_ctzll(diff)) >> 3;
                break;
            }
            len += 8;
            if (len >= kMaxMatch) {
                len = kMaxMatch;
                break;
            }
        }
        if (len > kMaxMatch)
            len = kMaxMatch;
        if (len > bestLen) {
            m_matchStart = curMatch;
            bestLen = len;
            if (len >= nice)
                break;
            scanEnd1 = scan[bestLen - 1];
            scanEnd = scan[bestLen];
        }
    } while ((curMatch = m_prev[curMatch & kWMask]) > limit && --chain != 0);
    return bestLen <= m_lookahead ? bestLen : m_lookahead;
}

uint64_t ZipDeflater::deflate()
{
    return m_level <= 3 ? deflateFast() : deflateLazy();
}

uint64_t ZipDeflater::deflateFast()
{
    unsigned hashHead = 0;
    unsigned matchLength = 0;
    m_prevLength = kMinMatch - 1;
    while (m_lookahead != 0) {
        hashHead = 0;
        if (m_lookahead >= kMinMatch)
            insertString(m_strStart, hashHead);
        if (hashHead != 0 && m_strStart - hashHead <= kMaxDist)
            matchLength = longestMatch(hashHead);
        bool flush;
        if (matchLength >= kMinMatch) {
            flush = tally(m_strStart - m_matchStart, matchLength - kMinMatch);
            m_lookahead -= matchLength;
            if (matchLength <= m_maxLazy && m_lookahead >= kMinMatch) {
                --matchLength;
                do {
                    ++m_strStart;
                    insertString(m_strStart, hashHead);
                } while (--matchLength != 0);
                ++m_strStart;
            } else {
                m_strStart += matchLength;
                matchLength = 0;
                m_insH = m_window[m_strStart];
                m_insH = ((m_insH << kHashShift) ^ m_window[m_strStart + 1]) & kHashMask;
            }
        } else {
            flush = tally(0, m_window[m_strStart]);
            --m_lookahead;
            ++m_strStart;
        }
        if (flush) {
            flushBlock(m_blockStart >= 0 ? m_window + m_blockStart : nullptr, uint64_t(long(m_strStart) - m_blockStart), false);
            m_blockStart = long(m_strStart);
        }
        while (m_lookahead < kMinLookahead && !m_eof)
            fillWindow();
    }
    return flushBlock(m_blockStart >= 0 ? m_window + m_blockStart : nullptr, uint64_t(long(m_strStart) - m_blockStart), true);
}

uint64_t ZipDeflater::deflateLazy()
{
    unsigned hashHead = 0;
    unsigned matchLength = kMinMatch - 1;
    bool matchAvailable = false;
    while (m_lookahead != 0) {
        hashHead = 0;
        if (m_lookahead >= kMinMatch)
            insertString(m_strStart, hashHead);
        m_prevLength = matchLength;
        const unsigned prevMatch = m_matchStart;
        matchLength = kMinMatch - 1;
        if (hashHead != 0 && m_prevLength < m_maxLazy && m_strStart - hashHead <= kMaxDist) {
            matchLength = longestMatch(hashHead);
            if (matchLength == kMinMatch && m_strStart - m_matchStart > kTooFar)
                matchLength = kMinMatch - 1;
        }
        if (m_prevLength >= kMinMatch && matchLength <= m_prevLength) {
            const unsigned maxInsert = m_strStart + m_lookahead - kMinMatch;
            bool flush = tally(m_strStart - 1 - prevMatch, m_prevLength - kMinMatch);
            m_lookahead -= m_prevLength - 1;
            m_prevLength -= 2;
            do {
                if (++m_strStart <= maxInsert)
                    insertString(m_strStart, hashHead);
            } while (--m_prevLength != 0);
            matchAvailable = false;
            matchLength = kMinMatch - 1;
            ++m_strStart;
            if (flush) {
                flushBlock(m_blockStart >= 0 ? m_window + m_blockStart : nullptr, uint64_t(long(m_strStart) - m_blockStart), false);
                m_blockStart = long(m_strStart);
            }
        } else if (matchAvailable) {
            if (tally(0, m_window[m_strStart - 1])) {
                flushBlock(m_blockStart >= 0 ? m_window + m_blockStart : nullptr, uint64_t(long(m_strStart) - m_blockStart), false);
                m_blockStart = long(m_strStart);
            }
            ++m_strStart;
            --m_lookahead;
        } else {
            matchAvailable = true;
            ++m_strStart;
            --m_lookahead;
        }
        while (m_lookahead < kMinLookahead && !m_eof)
            fillWindow();
    }
    if (matchAvailable)
        tally(0, m_window[m_strStart - 1]);
    return flushBlock(m_blockStart >= 0 ? m_window + m_blockStart : nullptr, uint64_t(long(m_strStart) - m_blockStart), true);
}
