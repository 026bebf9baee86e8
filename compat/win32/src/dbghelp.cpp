// Crash filters over POSIX signals, and MiniDumpWriteDump as a text report of our own format:
//
//   AMBREL-DUMP 1
//   process <pid> type <dump type>
//   thread <crashing thread id>
//   exception 0x<code> address 0x<address> signal <number>
//   registers rip=0x... rsp=0x... rbp=0x...
//   threads            then one "  <tid>" line per thread the callback kept
//   modules            then "  <first>-<end> <path>" per module kept, " data" when its data follows
//   data <path> <first>-<end> <byte count>   followed by the raw bytes of that writable mapping
//   stack              then the crashing thread's frames, one per line
//   end
#include "win32/dbghelp.h"
#include "win32/file.h"

#include <atomic>
#include <algorithm>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <dirent.h>
#include <execinfo.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

namespace {

std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> g_filter{nullptr};
const int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
const size_t kMaxDataPerModule = 1 << 20;

DWORD codeOf(int sig)
{
    switch (sig) {
    case SIGSEGV: return EXCEPTION_ACCESS_VIOLATION;
    case SIGBUS: return EXCEPTION_IN_PAGE_ERROR;
    case SIGFPE: return EXCEPTION_INT_DIVIDE_BY_ZERO;
    case SIGILL: return EXCEPTION_ILLEGAL_INSTRUCTION;
    default: return STATUS_FATAL_APP_EXIT;
    }
}

void crashHandler(int sig, siginfo_t *info, void *uc)
{
    EXCEPTION_RECORD record{};
    record.ExceptionCode = codeOf(sig);
    record.ExceptionFlags = 1; // not continuable
    record.ExceptionAddress = info ? info->si_addr : nullptr;
    CONTEXT context{sig, uc};
    EXCEPTION_POINTERS pointers{&record, &context};
    if (LPTOP_LEVEL_EXCEPTION_FILTER filter = g_filter.load())
        filter(&pointers);
    // Whatever the filter said, the process ends the way the signal ends it.
    std::signal(sig, SIG_DFL);
    raise(sig);
}

void installHandlers(bool on)
{
    if (on) {
        // A stack overflow leaves no stack to run the filter on: give it one of its own.
        static char altStack[256 * 1024];
        stack_t ss{};
        ss.ss_sp = altStack;
        ss.ss_size = sizeof altStack;
        sigaltstack(&ss, nullptr);
    }
    for (int sig : kSignals) {
        struct sigaction sa {};
        sigemptyset(&sa.sa_mask);
        if (on) {
            sa.sa_sigaction = crashHandler;
            sa.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
        } else {
            sa.sa_handler = SIG_DFL;
        }
        sigaction(sig, &sa, nullptr);
    }
}

class Report
{
public:
    explicit Report(HANDLE file) : m_file(file) {}
    void print(const char *format, ...) __attribute__((format(printf, 2, 3)))
    {
        char line[1024];
        va_list args;
        va_start(args, format);
        int n = vsnprintf(line, sizeof line, format, args);
        va_end(args);
        if (n > 0)
            raw(line, std::min<size_t>(size_t(n), sizeof line - 1));
    }
    void raw(const void *data, size_t length)
    {
        DWORD written = 0;
        if (!WriteFile(m_file, data, DWORD(length), &written, nullptr) || written != length)
            m_ok = false;
    }
    bool ok() const { return m_ok; }

private:
    HANDLE m_file;
    bool m_ok = true;
};

struct Module {
    unsigned long first = ~0ul, end = 0;
    std::vector<std::pair<unsigned long, unsigned long>> data;
};

std::map<std::string, Module> readModules()
{
    std::map<std::string, Module> modules;
    FILE *maps = std::fopen("/proc/self/maps", "r");
    if (!maps)
        return modules;
    char line[4096];
    while (std::fgets(line, sizeof line, maps)) {
        unsigned long first, end;
        char perms[8] = {};
        char path[4096] = {};
        if (std::sscanf(line, "%lx-%lx %7s %*s %*s %*s %4095[^\n]", &first, &end, perms, path) < 3 || path[0] != '/')
            continue;
        Module &m = modules[path];
        m.first = std::min(m.first, first);
        m.end = std::max(m.end, end);
        if (perms[0] == 'r' && perms[1] == 'w')
            m.data.emplace_back(first, end);
    }
    std::fclose(maps);
    return modules;
}

std::vector<ULONG> readThreads()
{
    std::vector<ULONG> threads;
    if (DIR *dir = opendir("/proc/self/task")) {
        while (dirent *e = readdir(dir))
            if (e->d_name[0] != '.')
                threads.push_back(ULONG(std::strtoul(e->d_name, nullptr, 10)));
        closedir(dir);
    }
    return threads;
}

std::wstring widePath(const std::string &path)
{
    int n = MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0);
    std::wstring w(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, &w[0], n);
    return w;
}

} // namespace

LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter)
{
    LPTOP_LEVEL_EXCEPTION_FILTER previous = g_filter.exchange(filter);
    installHandlers(filter != nullptr);
    return previous;
}

DWORD GetCurrentProcessId() { return DWORD(getpid()); }

DWORD GetCurrentThreadId() { return DWORD(syscall(SYS_gettid)); }

BOOL MiniDumpWriteDump(HANDLE process, DWORD processId, HANDLE file, MINIDUMP_TYPE type,
                       PMINIDUMP_EXCEPTION_INFORMATION exception, PMINIDUMP_USER_STREAM_INFORMATION,
                       PMINIDUMP_CALLBACK_INFORMATION callback)
{
    if (file == nullptr || file == INVALID_HANDLE_VALUE || processId != GetCurrentProcessId()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto ask = [&](MINIDUMP_CALLBACK_INPUT &input, MINIDUMP_CALLBACK_OUTPUT &output) {
        input.ProcessId = processId;
        input.ProcessHandle = process;
        return !callback || !callback->CallbackRoutine
            || callback->CallbackRoutine(callback->CallbackParam, &input, &output);
    };

    Report r(file);
    r.print("AMBREL-DUMP 1\nprocess %u type %d\n", processId, int(type));
    if (exception) {
        r.print("thread %u\n", exception->ThreadId);
        EXCEPTION_POINTERS *p = exception->ExceptionPointers;
        if (p && p->ExceptionRecord)
            r.print("exception 0x%08X address %p signal %d\n", p->ExceptionRecord->ExceptionCode,
                    p->ExceptionRecord->ExceptionAddress, p->ContextRecord ? p->ContextRecord->Signal : 0);
#if defined(__x86_64__)
        if (p && p->ContextRecord && p->ContextRecord->PlatformContext) {
            const auto *uc = static_cast<const ucontext_t *>(p->ContextRecord->PlatformContext);
            r.print("registers rip=0x%llx rsp=0x%llx rbp=0x%llx\n", (unsigned long long)uc->uc_mcontext.gregs[REG_RIP],
                    (unsigned long long)uc->uc_mcontext.gregs[REG_RSP], (unsigned long long)uc->uc_mcontext.gregs[REG_RBP]);
        }
#endif
    }

    r.print("threads\n");
    for (ULONG tid : readThreads()) {
        MINIDUMP_CALLBACK_INPUT in{};
        MINIDUMP_CALLBACK_OUTPUT out{};
        in.CallbackType = IncludeThreadCallback;
        in.IncludeThread.ThreadId = tid;
        if (!ask(in, out))
            continue;
        in = MINIDUMP_CALLBACK_INPUT{};
        in.CallbackType = ThreadCallback;
        in.Thread.ThreadId = tid;
        out.ThreadWriteFlags = ThreadWriteThread | ThreadWriteStack | ThreadWriteContext;
        if (ask(in, out))
            r.print("  %lu\n", (unsigned long)tid);
    }

    r.print("modules\n");
    std::vector<std::pair<std::string, Module>> withData;
    for (const auto &entry : readModules()) {
        const Module &m = entry.second;
        MINIDUMP_CALLBACK_INPUT in{};
        MINIDUMP_CALLBACK_OUTPUT out{};
        in.CallbackType = IncludeModuleCallback;
        in.IncludeModule.BaseOfImage = m.first;
        if (!ask(in, out))
            continue;
        std::wstring path = widePath(entry.first);
        in = MINIDUMP_CALLBACK_INPUT{};
        in.CallbackType = ModuleCallback;
        in.Module.FullPath = &path[0];
        in.Module.BaseOfImage = m.first;
        in.Module.SizeOfImage = ULONG(m.end - m.first);
        out.ModuleWriteFlags = ModuleWriteModule | ModuleWriteMiscRecord | ModuleWriteCvRecord
            | ((type & MiniDumpWithDataSegs) ? ModuleWriteDataSeg : 0);
        if (!ask(in, out))
            continue;
        const bool data = (out.ModuleWriteFlags & ModuleWriteDataSeg) && !m.data.empty();
        r.print("  %lx-%lx %s%s\n", m.first, m.end, entry.first.c_str(), data ? " data" : "");
        if (data)
            withData.push_back(entry);
    }
    for (const auto &entry : withData) {
        size_t budget = kMaxDataPerModule;
        for (const auto &range : entry.second.data) {
            size_t n = std::min<size_t>(range.second - range.first, budget);
            if (n == 0)
                break;
            r.print("data %s %lx-%lx %zu\n", entry.first.c_str(), range.first, range.second, n);
            r.raw(reinterpret_cast<const void *>(range.first), n);
            r.print("\n");
            budget -= n;
        }
    }

    r.print("stack\n");
    void *frames[64];
    int count = backtrace(frames, 64);
    char **names = backtrace_symbols(frames, count);
    for (int i = 0; i < count; ++i)
        r.print("  %s\n", names ? names[i] : "?");
    std::free(names);
    r.print("end\n");
    return r.ok() ? TRUE : FALSE;
}
