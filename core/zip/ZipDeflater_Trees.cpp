// Huffman trees, block decisions and bit output of ZipDeflater.
#include "ZipDeflater.h"

#include <cstring>

namespace {

const int kMaxBits = 15;
const int kMaxBlBits = 7;
const int kLengthCodes = 29;
const int kLiterals = 256;
const int kEndBlock = 256;
const int kRep3To6 = 16;
const int kRepZ3To10 = 17;
const int kRepZ11To138 = 18;
const unsigned kLitBufSize = 32768;
const unsigned kDistBufSize = 32768;
const unsigned kStoredMax = 65535;

const int kExtraLBits[kLengthCodes] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
                                       3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const int kExtraDBits[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                             6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
const int kExtraBlBits[19] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 7};
const unsigned char kBlOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

unsigned reverseBits(unsigned code, int length)
{
    unsigned res = 0;
    do {
        res |= code & 1;
        code >>= 1;
        res <<= 1;
    } while (--length > 0);
    return res >> 1;
}

} // namespace

void ZipDeflater::initTables()
{
    m_lDesc = {m_dynLTree, m_staticLTree, kExtraLBits, kLiterals + 1, kLCodes, kMaxBits, 0};
    m_dDesc = {m_dynDTree, m_staticDTree, kExtraDBits, 0, kDCodes, kMaxBits, 0};
    m_blDesc = {m_blTree, nullptr, kExtraBlBits, 0, kBlCodes, kMaxBlBits, 0};
    if (m_tablesReady)
        return;
    int length = 0, code;
    for (code = 0; code < kLengthCodes - 1; ++code) {
        m_baseLength[code] = length;
        for (int n = 0; n < (1 << kExtraLBits[code]); ++n)
            m_lengthCode[length++] = static_cast<unsigned char>(code);
    }
    if (length != 256)
        fail("ct_init: length != 256");
    // Length 258 has its own code; it overwrites the last entry of code 27.
    m_lengthCode[length - 1] = static_cast<unsigned char>(code);
    m_baseLength[code] = 0; // unused: code 28 has no extra bits

    int dist = 0;
    for (code = 0; code < 16; ++code) {
        m_baseDist[code] = dist;
        for (int n = 0; n < (1 << kExtraDBits[code]); ++n)
            m_distCode[dist++] = static_cast<unsigned char>(code);
    }
    if (dist != 256)
        fail("ct_init: dist != 256");
    dist >>= 7;
    for (; code < kDCodes; ++code) {
        m_baseDist[code] = dist << 7;
        for (int n = 0; n < (1 << (kExtraDBits[code] - 7)); ++n)
            m_distCode[256 + dist++] = static_cast<unsigned char>(code);
    }
    if (dist != 256)
        fail("ct_init: 256+dist != 512");

    std::memset(m_blCount, 0, sizeof m_blCount);
    int n = 0;
    while (n <= 143) m_staticLTree[n++].dl = 8, m_blCount[8]++;
    while (n <= 255) m_staticLTree[n++].dl = 9, m_blCount[9]++;
    while (n <= 279) m_staticLTree[n++].dl = 7, m_blCount[7]++;
    while (n <= 287) m_staticLTree[n++].dl = 8, m_blCount[8]++;
    genCodes(m_staticLTree, kLCodes + 1);
    for (n = 0; n < kDCodes; ++n) {
        m_staticDTree[n].dl = 5;
        m_staticDTree[n].fc = uint16_t(reverseBits(unsigned(n), 5));
    }
    m_tablesReady = true;
}

void ZipDeflater::initBlock()
{
    for (int n = 0; n < kLCodes; ++n)
        m_dynLTree[n].fc = 0;
    for (int n = 0; n < kDCodes; ++n)
        m_dynDTree[n].fc = 0;
    for (int n = 0; n < kBlCodes; ++n)
        m_blTree[n].fc = 0;
    m_dynLTree[kEndBlock].fc = 1;
    m_optLen = m_staticLen = 0;
    m_lastLit = m_lastDist = m_lastFlags = 0;
    m_flags = 0;
    m_flagBit = 1;
}

inline unsigned ZipDeflater::distCode(unsigned dist) const
{
    return dist < 256 ? m_distCode[dist] : m_distCode[256 + (dist >> 7)];
}

bool ZipDeflater::tally(unsigned dist, unsigned lc)
{
    m_lBuf[m_lastLit++] = static_cast<unsigned char>(lc);
    if (dist == 0) {
        m_dynLTree[lc].fc++;
    } else {
        --dist;
        if (dist >= 32768 - 262 || lc > 255 || distCode(dist) >= unsigned(kDCodes))
            fail("ct_tally: bad match");
        m_dynLTree[m_lengthCode[lc] + kLiterals + 1].fc++;
        m_dynDTree[distCode(dist)].fc++;
        m_dBuf[m_lastDist++] = uint16_t(dist);
        m_flags |= m_flagBit;
    }
    m_flagBit <<= 1;
    if ((m_lastLit & 7) == 0) {
        m_flagBuf[m_lastFlags++] = static_cast<unsigned char>(m_flags);
        m_flags = 0;
        m_flagBit = 1;
    }
    // Ending a poorly matching block early lets the next one adapt its trees.
    if (m_level > 2 && (m_lastLit & 0xFFF) == 0) {
        uint64_t outLength = uint64_t(m_lastLit) * 8;
        uint64_t inLength = uint64_t(long(m_strStart) - m_blockStart);
        for (int d = 0; d < kDCodes; ++d)
            outLength += uint64_t(m_dynDTree[d].fc) * (5 + kExtraDBits[d]);
        outLength >>= 3;
        if (m_lastDist < m_lastLit / 2 && outLength < inLength / 2)
            return true;
    }
    return m_lastLit == kLitBufSize - 1 || m_lastDist == kDistBufSize;
}

void ZipDeflater::downHeap(const Code *tree, int k)
{
    int v = m_heap[k];
    int j = k << 1;
    auto smaller = [&](int n, int m) {
        return tree[n].fc < tree[m].fc || (tree[n].fc == tree[m].fc && m_depth[n] <= m_depth[m]);
    };
    while (j <= m_heapLen) {
        if (j < m_heapLen && smaller(m_heap[j + 1], m_heap[j]))
            ++j;
        if (smaller(v, m_heap[j]))
            break;
        m_heap[k] = m_heap[j];
        k = j;
        j <<= 1;
    }
    m_heap[k] = v;
}

void ZipDeflater::genBitLengths(TreeDesc &desc)
{
    Code *tree = desc.dynTree;
    const Code *stree = desc.staticTree;
    for (int bits = 0; bits <= kMaxBits; ++bits)
        m_blCount[bits] = 0;
    tree[m_heap[m_heapMax]].dl = 0;
    int overflow = 0;
    int h;
    for (h = m_heapMax + 1; h < kHeapSize; ++h) {
        int n = m_heap[h];
        int bits = tree[tree[n].dl].dl + 1;
        if (bits > desc.maxLength) {
            bits = desc.maxLength;
            ++overflow;
        }
        tree[n].dl = uint16_t(bits);
        if (n > desc.maxCode)
            continue; // not a leaf
        m_blCount[bits]++;
        int xbits = n >= desc.extraBase ? desc.extraBits[n - desc.extraBase] : 0;
        uint64_t f = tree[n].fc;
        m_optLen += f * unsigned(bits + xbits);
        if (stree)
            m_staticLen += f * unsigned(stree[n].dl + xbits);
    }
    if (overflow == 0)
        return;
    // Move leaves down from the deepest usable level until the lengths fit the limit.
    do {
        int bits = desc.maxLength - 1;
        while (m_blCount[bits] == 0)
            --bits;
        m_blCount[bits]--;
        m_blCount[bits + 1] += 2;
        m_blCount[desc.maxLength]--;
        overflow -= 2;
    } while (overflow > 0);
    // Reassign the lengths in order of frequency (the heap holds the leaves sorted).
    for (int bits = desc.maxLength; bits != 0; --bits) {
        int n = m_blCount[bits];
        while (n != 0) {
            int m = m_heap[--h];
            if (m > desc.maxCode)
                continue;
            if (tree[m].dl != unsigned(bits)) {
                m_optLen += (uint64_t(bits) - tree[m].dl) * tree[m].fc;
                tree[m].dl = uint16_t(bits);
            }
            --n;
        }
    }
}

void ZipDeflater::genCodes(Code *tree, int maxCode)
{
    uint16_t nextCode[kMaxBits + 1];
    unsigned code = 0;
    for (int bits = 1; bits <= kMaxBits; ++bits) {
        code = (code + m_blCount[bits - 1]) << 1;
        nextCode[bits] = uint16_t(code);
    }
    if (code + m_blCount[kMaxBits] - 1 != (1u << kMaxBits) - 1)
        fail("inconsistent bit counts");
    for (int n = 0; n <= maxCode; ++n) {
        int len = tree[n].dl;
        if (len == 0)
            continue;
        tree[n].fc = uint16_t(reverseBits(nextCode[len]++, len));
    }
}

void ZipDeflater::buildTree(TreeDesc &desc)
{
    Code *tree = desc.dynTree;
    const Code *stree = desc.staticTree;
    int elems = desc.elems;
    int maxCode = -1;
    m_heapLen = 0;
    m_heapMax = kHeapSize;
    for (int n = 0; n < elems; ++n) {
        if (tree[n].fc != 0) {
            m_heap[++m_heapLen] = maxCode = n;
            m_depth[n] = 0;
        } else {
            tree[n].dl = 0;
        }
    }
    // A tree needs two codes at least, so give unused symbols a frequency of one.
    while (m_heapLen < 2) {
        int node = m_heap[++m_heapLen] = (maxCode < 2 ? ++maxCode : 0);
        tree[node].fc = 1;
        m_depth[node] = 0;
        m_optLen--;
        if (stree)
            m_staticLen -= stree[node].dl;
    }
    desc.maxCode = maxCode;
    for (int n = m_heapLen / 2; n >= 1; --n)
        downHeap(tree, n);
    int node = elems;
    do {
        int n = m_heap[1];
        m_heap[1] = m_heap[m_heapLen--];
        downHeap(tree, 1);
        int m = m_heap[1];
        m_heap[--m_heapMax] = n;
        m_heap[--m_heapMax] = m;
        tree[node].fc = uint16_t(tree[n].fc + tree[m].fc);
        m_depth[node] = static_cast<unsigned char>((m_depth[n] >= m_depth[m] ? m_depth[n] : m_depth[m]) + 1);
        tree[n].dl = tree[m].dl = uint16_t(node);
        m_heap[1] = node++;
        downHeap(tree, 1);
    } while (m_heapLen >= 2);
    m_heap[--m_heapMax] = m_heap[1];
    genBitLengths(desc);
    genCodes(tree, maxCode);
}

void ZipDeflater::scanTree(Code *tree, int maxCode)
{
    int prevLen = -1, nextLen = tree[0].dl, count = 0, maxCount = 7, minCount = 4;
    if (nextLen == 0)
        maxCount = 138, minCount = 3;
    tree[maxCode + 1].dl = 0xFFFF; // guard
    for (int n = 0; n <= maxCode; ++n) {
        int curLen = nextLen;
        nextLen = tree[n + 1].dl;
        if (++count < maxCount && curLen == nextLen)
            continue;
        if (count < minCount)
            m_blTree[curLen].fc = uint16_t(m_blTree[curLen].fc + count);
        else if (curLen != 0) {
            if (curLen != prevLen)
                m_blTree[curLen].fc++;
            m_blTree[kRep3To6].fc++;
        } else if (count <= 10)
            m_blTree[kRepZ3To10].fc++;
        else
            m_blTree[kRepZ11To138].fc++;
        count = 0;
        prevLen = curLen;
        if (nextLen == 0)
            maxCount = 138, minCount = 3;
        else if (curLen == nextLen)
            maxCount = 6, minCount = 3;
        else
            maxCount = 7, minCount = 4;
    }
}

void ZipDeflater::sendTree(const Code *tree, int maxCode)
{
    int prevLen = -1, nextLen = tree[0].dl, count = 0, maxCount = 7, minCount = 4;
    if (nextLen == 0)
        maxCount = 138, minCount = 3;
    for (int n = 0; n <= maxCode; ++n) {
        int curLen = nextLen;
        nextLen = n + 1 <= maxCode ? tree[n + 1].dl : 0xFFFF;
        if (++count < maxCount && curLen == nextLen)
            continue;
        if (count < minCount) {
            do
                sendCode(unsigned(curLen), m_blTree);
            while (--count != 0);
        } else if (curLen != 0) {
            if (curLen != prevLen) {
                sendCode(unsigned(curLen), m_blTree);
                --count;
            }
            sendCode(kRep3To6, m_blTree);
            sendBits(unsigned(count - 3), 2);
        } else if (count <= 10) {
            sendCode(kRepZ3To10, m_blTree);
            sendBits(unsigned(count - 3), 3);
        } else {
            sendCode(kRepZ11To138, m_blTree);
            sendBits(unsigned(count - 11), 7);
        }
        count = 0;
        prevLen = curLen;
        if (nextLen == 0)
            maxCount = 138, minCount = 3;
        else if (curLen == nextLen)
            maxCount = 6, minCount = 3;
        else
            maxCount = 7, minCount = 4;
    }
}

int ZipDeflater::buildBitLengthTree()
{
    scanTree(m_dynLTree, m_lDesc.maxCode);
    scanTree(m_dynDTree, m_dDesc.maxCode);
    buildTree(m_blDesc);
    int maxIndex;
    for (maxIndex = kBlCodes - 1; maxIndex >= 3; --maxIndex)
        if (m_blTree[kBlOrder[maxIndex]].dl != 0)
            break;
    m_optLen += 3 * (uint64_t(maxIndex) + 1) + 5 + 5 + 4;
    return maxIndex;
}

void ZipDeflater::sendAllTrees(int lcodes, int dcodes, int blcodes)
{
    if (lcodes < 257 || dcodes < 1 || blcodes < 4)
        fail("not enough codes");
    if (lcodes > kLCodes || dcodes > kDCodes || blcodes > kBlCodes)
        fail("too many codes");
    sendBits(unsigned(lcodes - 257), 5);
    sendBits(unsigned(dcodes - 1), 5);
    sendBits(unsigned(blcodes - 4), 4);
    for (int rank = 0; rank < blcodes; ++rank)
        sendBits(m_blTree[kBlOrder[rank]].dl, 3);
    sendTree(m_dynLTree, lcodes - 1);
    sendTree(m_dynDTree, dcodes - 1);
}

void ZipDeflater::compressBlock(const Code *ltree, const Code *dtree)
{
    unsigned lx = 0, dx = 0, fx = 0, flag = 0;
    if (m_lastLit != 0) {
        do {
            if ((lx & 7) == 0)
                flag = m_flagBuf[fx++];
            unsigned lc = m_lBuf[lx++];
            if ((flag & 1) == 0) {
                sendCode(lc, ltree);
            } else {
                unsigned code = m_lengthCode[lc];
                sendCode(code + kLiterals + 1, ltree);
                int extra = kExtraLBits[code];
                if (extra != 0)
                    sendBits(lc - unsigned(m_baseLength[code]), extra);
                unsigned dist = m_dBuf[dx++];
                code = distCode(dist);
                if (code >= unsigned(kDCodes))
                    fail("bad d_code");
                sendCode(code, dtree);
                extra = kExtraDBits[code];
                if (extra != 0)
                    sendBits(dist - unsigned(m_baseDist[code]), extra);
            }
            flag >>= 1;
        } while (lx < m_lastLit);
    }
    sendCode(kEndBlock, ltree);
}

void ZipDeflater::guessText()
{
    unsigned binFreq = 0, asciiFreq = 0;
    int n = 0;
    while (n < 7) binFreq += m_dynLTree[n++].fc;
    while (n < 128) asciiFreq += m_dynLTree[n++].fc;
    while (n < kLiterals) binFreq += m_dynLTree[n++].fc;
    *m_textGuess = binFreq > (asciiFreq >> 2) ? 0 : 1;
}

uint64_t ZipDeflater::flushBlock(const unsigned char *buf, uint64_t storedLength, bool eof)
{
    m_flagBuf[m_lastFlags] = static_cast<unsigned char>(m_flags);
    if (m_textGuess && *m_textGuess == -1)
        guessText();
    buildTree(m_lDesc);
    buildTree(m_dDesc);
    int maxBlIndex = buildBitLengthTree();
    uint64_t optLenB = (m_optLen + 3 + 7) >> 3;
    uint64_t staticLenB = (m_staticLen + 3 + 7) >> 3;
    if (staticLenB <= optLenB)
        optLenB = staticLenB;
    // A stored block's length field has 16 bits.
    if (storedLength + 4 <= optLenB && buf != nullptr && storedLength <= kStoredMax) {
        sendBits(0u + (eof ? 1 : 0), 3);
        m_compressedLen = (m_compressedLen + 3 + 7) & ~uint64_t(7);
        m_compressedLen += (storedLength + 4) << 3;
        copyBlock(buf, unsigned(storedLength));
    } else if (staticLenB == optLenB) {
        sendBits((1u << 1) + (eof ? 1 : 0), 3);
        compressBlock(m_staticLTree, m_staticDTree);
        m_compressedLen += 3 + m_staticLen;
    } else {
        sendBits((2u << 1) + (eof ? 1 : 0), 3);
        sendAllTrees(m_lDesc.maxCode + 1, m_dDesc.maxCode + 1, maxBlIndex + 1);
        compressBlock(m_dynLTree, m_dynDTree);
        m_compressedLen += 3 + m_optLen;
    }
    initBlock();
    if (eof) {
        windup();
        m_compressedLen += 7;
        m_compressedLen &= ~uint64_t(7);
        flushOutput();
        if (m_compressedLen != m_bitsSent)
            fail("bad compressed size");
    }
    return m_compressedLen >> 3;
}

void ZipDeflater::sendBits(unsigned value, int length)
{
    m_bitsSent += unsigned(length);
    if (m_biValid > 16 - length) {
        m_biBuf |= (value << m_biValid) & 0xFFFF;
        putShort(m_biBuf);
        m_biBuf = (value >> (16 - m_biValid)) & 0xFFFF;
        m_biValid += length - 16;
    } else {
        m_biBuf |= (value << m_biValid) & 0xFFFF;
        m_biValid += length;
    }
}

void ZipDeflater::flushOutput()
{
    if (m_outOffset == 0)
        return;
    if (m_memory) {
        return; // the caller reads the buffer
    }
    if (m_flush)
        m_flush(m_out, m_outOffset);
    m_flushed += m_outOffset;
    m_outOffset = 0;
}

inline void ZipDeflater::putByte(unsigned char c)
{
    if (m_outOffset >= m_outCapacity) {
        if (m_memory) {
            fail("output buffer too small for in-memory compression");
            return;
        }
        flushOutput();
    }
    m_out[m_outOffset++] = static_cast<char>(c);
}

inline void ZipDeflater::putShort(unsigned w)
{
    if (m_outOffset + 2 <= m_outCapacity) {
        m_out[m_outOffset++] = static_cast<char>(w & 0xFF);
        m_out[m_outOffset++] = static_cast<char>((w >> 8) & 0xFF);
    } else {
        putByte(static_cast<unsigned char>(w & 0xFF));
        putByte(static_cast<unsigned char>((w >> 8) & 0xFF));
    }
}

void ZipDeflater::windup()
{
    if (m_biValid > 8)
        putShort(m_biBuf);
    else if (m_biValid > 0)
        putByte(static_cast<unsigned char>(m_biBuf));
    m_bitsSent = (m_bitsSent + 7) & ~uint64_t(7);
    m_biBuf = 0;
    m_biValid = 0;
}

void ZipDeflater::copyBlock(const unsigned char *buf, unsigned length)
{
    windup();
    putShort(length);
    putShort(~length & 0xFFFF);
    m_bitsSent += uint64_t(2 * 16) + (uint64_t(length) << 3);
    while (length > 0) {
        if (m_outOffset >= m_outCapacity) {
            if (m_memory) {
                fail("output buffer too small for in-memory compression");
                return;
            }
            flushOutput();
        }
        unsigned n = m_outCapacity - m_outOffset;
        if (n > length)
            n = length;
        std::memcpy(m_out + m_outOffset, buf, n);
        m_outOffset += n;
        buf += n;
        length -= n;
    }
}
