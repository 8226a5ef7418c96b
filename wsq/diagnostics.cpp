#include "wsq/diagnostics.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <vector>

namespace wsq {
namespace {

void writeToStderr(void*, std::string_view text)
{
    std::fwrite(text.data(), 1, text.size(), stderr);
}

struct ProcessSink {
    std::mutex mutex;
    DiagnosticSink sink = &writeToStderr;
    void* context = nullptr;
};

ProcessSink& processSink()
{
    static ProcessSink instance;
    return instance;
}

thread_local DiagnosticSink threadSink = nullptr;
thread_local void* threadContext = nullptr;

void deliver(std::string_view text)
{
    if (threadSink) {
        threadSink(threadContext, text);
        return;
    }
    ProcessSink& process = processSink();
    // Held while the sink runs so that a sink being replaced is never called
    // after its setter returned, and lines of parallel calls do not interleave.
    std::lock_guard lock(process.mutex);
    process.sink(process.context, text);
}

}  // namespace

void setDiagnosticSink(DiagnosticSink sink, void* context)
{
    ProcessSink& process = processSink();
    std::lock_guard lock(process.mutex);
    process.sink = sink ? sink : &writeToStderr;
    process.context = sink ? context : nullptr;
}

void discardDiagnostic(void*, std::string_view) {}

void diagnostic(const char* format, ...)
{
    char small[256];
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        return;
    }
    if (static_cast<std::size_t>(length) < sizeof small) {
        va_end(again);
        deliver(std::string_view(small, static_cast<std::size_t>(length)));
        return;
    }
    std::vector<char> large(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(large.data(), large.size(), format, again);
    va_end(again);
    deliver(std::string_view(large.data(), static_cast<std::size_t>(length)));
}

ScopedDiagnosticSink::ScopedDiagnosticSink(DiagnosticSink sink, void* context)
    : previousSink_(threadSink), previousContext_(threadContext)
{
    threadSink = sink;
    threadContext = context;
}

ScopedDiagnosticSink::~ScopedDiagnosticSink()
{
    threadSink = previousSink_;
    threadContext = previousContext_;
}

}  // namespace wsq
