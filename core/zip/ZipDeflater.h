#pragma once

#include <cstdint>
#include <functional>

// A raw deflate (RFC 1951) compressor for one zip entry at a time. Input is pulled through a read
// function, output pushed through a flush function. Made once per writer and reset per entry;
// nothing is allocated per entry.
class ZipDeflater
{
public:
    // Returns the bytes read, 0 or -1 at the end of the input.
    using ReadFunction = std::function<long(char *buffer, unsigned size)>;
    // Takes the output written so far; false stops further flushing.
    using FlushFunction = std::function<bool(const char *buffer, unsigned length)>;

    static const unsigned kOutputSize = 16384;

    ZipDeflater();
    ~ZipDeflater();
    ZipDeflater(const ZipDeflater &) = delete;
    ZipDeflater &operator=(const ZipDeflater &) = delete;

    // level 1 to 8; flags gets the general-purpose bits of the level (0x04 fast, 0x02 maximum).
    // output: a buffer of kOutputSize bytes handed to flush when full. textGuess, when it points
    // at -1, receives 1 for text-like data and 0 otherwise.
    void reset(int level, uint16_t &flags, ReadFunction read, FlushFunction flush, char *output,
               int *textGuess = nullptr);
    // Writes into a fixed buffer instead of flushing; more output than fits is an error.
    void resetToMemory(int level, uint16_t &flags, ReadFunction read, char *output, unsigned capacity);
    // Runs to the end of the input; returns the compressed size in bytes.
    uint64_t deflate();
    // The text of the first failed internal check, or nullptr.
    const char *error() const { return m_error; }

private:
    struct Code {
        uint16_t fc;  // frequency, or code once built
        uint16_t dl;  // parent node, or length once built
    };
    struct TreeDesc {
        Code *dynTree;
        const Code *staticTree;
        const int *extraBits;
        int extraBase;
        int elems;
        int maxLength;
        int maxCode;
    };

    void fail(const char *text);
    void start(int level, uint16_t &flags, ReadFunction read, char *output, unsigned capacity);

    // Window and matching (ZipDeflater.cpp).
    void fillWindow();
    unsigned longestMatch(unsigned curMatch);
    void insertString(unsigned pos, unsigned &head);
    uint64_t deflateFast();
    uint64_t deflateLazy();

    // Trees and bit output (ZipDeflater_Trees.cpp).
    void initTables();
    void initBlock();
    bool tally(unsigned dist, unsigned lc);
    uint64_t flushBlock(const unsigned char *buf, uint64_t storedLength, bool eof);
    void buildTree(TreeDesc &desc);
    void downHeap(const Code *tree, int k);
    void genBitLengths(TreeDesc &desc);
    void genCodes(Code *tree, int maxCode);
    void scanTree(Code *tree, int maxCode);
    void sendTree(const Code *tree, int maxCode);
    int buildBitLengthTree();
    void sendAllTrees(int lcodes, int dcodes, int blcodes);
    void compressBlock(const Code *ltree, const Code *dtree);
    void guessText();
    unsigned distCode(unsigned dist) const;
    void sendBits(unsigned value, int length);
    void sendCode(unsigned symbol, const Code *tree) { sendBits(tree[symbol].fc, tree[symbol].dl); }
    void putByte(unsigned char c);
    void putShort(unsigned w);
    void windup();
    void copyBlock(const unsigned char *buf, unsigned length);
    void flushOutput();

    static const int kLCodes = 286, kDCodes = 30, kBlCodes = 19, kHeapSize = 2 * kLCodes + 1;

    // Match state.
    unsigned char *m_window;
    uint16_t *m_prev;
    uint16_t *m_head;
    unsigned m_insH = 0;
    unsigned m_strStart = 0;
    unsigned m_matchStart = 0;
    unsigned m_lookahead = 0;
    unsigned m_prevLength = 0;
    long m_blockStart = 0;
    bool m_eof = false;
    unsigned m_goodMatch = 0, m_maxLazy = 0, m_niceMatch = 0, m_maxChain = 0;
    int m_level = 0;
    ReadFunction m_read;

    // Symbols of the block being built.
    unsigned char *m_lBuf;
    uint16_t *m_dBuf;
    unsigned char *m_flagBuf;
    unsigned m_lastLit = 0, m_lastDist = 0, m_lastFlags = 0;
    unsigned m_flags = 0, m_flagBit = 1;

    // Trees.
    Code m_dynLTree[kHeapSize];
    Code m_dynDTree[2 * kDCodes + 1];
    Code m_staticLTree[kLCodes + 2];
    Code m_staticDTree[kDCodes];
    Code m_blTree[2 * kBlCodes + 1];
    TreeDesc m_lDesc, m_dDesc, m_blDesc;
    uint16_t m_blCount[16];
    int m_heap[kHeapSize];
    int m_heapLen = 0, m_heapMax = 0;
    unsigned char m_depth[kHeapSize];
    unsigned char m_lengthCode[256];
    unsigned char m_distCode[512];
    int m_baseLength[29];
    int m_baseDist[kDCodes];
    uint64_t m_optLen = 0, m_staticLen = 0;
    uint64_t m_compressedLen = 0;
    bool m_tablesReady = false;
    int *m_textGuess = nullptr;

    // Output.
    unsigned m_biBuf = 0;
    int m_biValid = 0;
    uint64_t m_bitsSent = 0;
    char *m_out = nullptr;
    unsigned m_outCapacity = 0;
    unsigned m_outOffset = 0;
    bool m_memory = false;
    uint64_t m_flushed = 0;
    FlushFunction m_flush;

    const char *m_error = nullptr;
};
