// The zip reader over an archive in memory: every entry is listed, read into memory and
// extracted into a folder of its own, deep below a private root. Nothing may be written
// outside that folder, a cleaned name is never absolute (one with a ".." step is refused at
// extraction), and an entry that reads without error has exactly its declared size.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "ZipEntry.h"
#include "ZipReader.h"
#include "ZipText.h"

namespace fs = std::filesystem;

namespace {

fs::path g_root; // holds only the folders down to g_out, and nothing else, after every input
fs::path g_out;  // where entries are extracted; also the working folder

[[noreturn]] void fail(const char *what, const std::wstring &name = std::wstring())
{
    std::fprintf(stderr, "fuzz_zip_reader: %s %s\n", what, ZipText::toUtf8(name).c_str());
    std::abort();
}

// Below g_out anything extracted may lie; elsewhere in the root only the folders down to it.
void checkNothingOutside()
{
    std::error_code ec;
    const std::string out = g_out.string() + "/";
    auto it = fs::recursive_directory_iterator(g_root, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string path = it->path().string();
        const fs::file_status s = it->symlink_status();
        if (path.compare(0, out.size(), out) == 0) {
            if (!fs::is_regular_file(s) && !fs::is_directory(s))
                fail("extraction made something that is neither a file nor a folder:", ZipText::toWide(path));
        } else if (!fs::is_directory(s) || out.compare(0, path.size() + 1, path + "/") != 0) {
            fail("wrote outside the extraction folder:", ZipText::toWide(path));
        }
    }
    if (ec)
        fail("cannot list the private root");
    if (!fs::is_directory(fs::symlink_status(g_out)))
        fail("the extraction folder was replaced");
}

void clearOut()
{
    std::error_code ec;
    for (const fs::directory_entry &e : fs::directory_iterator(g_out, ec))
        fs::remove_all(e.path(), ec);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_zip_reader.XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data()))
        fail("cannot make a temporary folder");
    g_root = fs::path(buf.data());
    // Deep enough that no climb above the root fits the reader's whole-path limit (MAX_PATH):
    // each level adds two bytes to the base and three ("../") to a name that climbs it.
    g_out = g_root;
    const size_t rootLength = g_root.string().size();
    const size_t depth = std::max<size_t>(8, rootLength < MAX_PATH ? (MAX_PATH - rootLength) / 5 + 1 : 0);
    for (size_t i = 0; i < depth; ++i)
        g_out /= "d";
    g_out /= "out";
    if (g_out.string().size() + 2 >= MAX_PATH)
        fail("the temporary folder's path is too long for extraction:", ZipText::toWide(g_out.string()));
    fs::create_directories(g_out);
    fs::current_path(g_out);
    std::atexit([] {
        std::error_code ec;
        fs::current_path("/", ec);
        fs::remove_all(g_root, ec);
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Encrypted seeds use this password; for other entries it changes nothing.
    ZipHandle *zip = zipReaderOpenMemory(data, DWORD(size), "ambrel");
    if (!zip)
        return 0;
    const std::wstring base = ZipText::toWide(g_out.string()) + L"/";
    zipReaderSetBaseDir(zip, base.c_str());

    ZipEntry all;
    if (zipReaderGetEntry(zip, -1, &all) == ZIP_OK) {
        std::vector<char> chunk(16384);
        for (int i = 0; i < all.index; ++i) {
            ZipEntry e;
            if (zipReaderGetEntry(zip, i, &e) != ZIP_OK)
                continue;
            const std::wstring name(e.name);
            if (!name.empty() && (name[0] == L'/' || name[0] == L'\\' || (name.size() > 1 && name[1] == L':')))
                fail("an entry name that is absolute:", name);

            // Into memory first, in pieces: an entry must not give more than it declares.
            unsigned long long total = 0;
            DWORD rc;
            do {
                rc = zipReaderExtractToMemory(zip, i, chunk.data(), DWORD(chunk.size()));
                if (rc == ZIP_OK || rc == ZIP_MORE) {
                    // The last piece's length is not reported; count whole pieces only.
                    total += rc == ZIP_MORE ? chunk.size() : 0;
                    if (total > e.uncompressedSize + chunk.size())
                        fail("an entry gives more bytes than it declares:", name);
                }
            } while (rc == ZIP_MORE);
            const bool readable = rc == ZIP_OK;

            const DWORD frc = zipReaderExtractToFile(zip, i, e.name);
            if (readable && frc == ZIP_OK && !(e.attr & FILE_ATTRIBUTE_DIRECTORY)) {
                std::error_code ec;
                const std::uintmax_t written = fs::file_size(g_out / ZipText::toUtf8(name), ec);
                if (!ec && written != e.uncompressedSize)
                    fail("an extracted entry whose size differs from the declared one:", name);
            }
        }
    }
    zipReaderClose(zip);
    checkNothingOutside();
    clearOut();
    return 0;
}
