#pragma once
// Where the codec's messages go.
//
// Every "ERROR : ..." and "WARNING : ..." line and the encoder's statistics
// pass through one sink. By default it writes the text unchanged to stderr. A
// front end may install its own sink for the whole process (to silence the
// codec or collect its lines), and a thread may override that sink for its
// own calls with ScopedDiagnosticSink, so that parallel decodes can collect
// their messages separately.
#include <cstddef>
#include <string>
#include <string_view>

namespace wsq {

// Receives one message: usually a whole line ending in "\n", written by one
// codec function. The sink must not call back into the codec.
using DiagnosticSink = void (*)(void* context, std::string_view text);

// Installs the process-wide sink; a null sink restores the stderr default.
void setDiagnosticSink(DiagnosticSink sink, void* context);

// A sink that drops everything.
void discardDiagnostic(void* context, std::string_view text);

// Sends a formatted message to the current thread's sink (or the process-wide one).
void diagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Redirects the current thread's messages while it lives; nests.
class ScopedDiagnosticSink {
public:
    ScopedDiagnosticSink(DiagnosticSink sink, void* context);
    ~ScopedDiagnosticSink();
    ScopedDiagnosticSink(const ScopedDiagnosticSink&) = delete;
    ScopedDiagnosticSink& operator=(const ScopedDiagnosticSink&) = delete;

private:
    DiagnosticSink previousSink_;
    void* previousContext_;
};

// Collects the current thread's messages into a string while it lives.
class DiagnosticCapture {
public:
    DiagnosticCapture() : scope_(&append, this) {}
    const std::string& text() const { return text_; }

private:
    static void append(void* context, std::string_view text)
    {
        static_cast<DiagnosticCapture*>(context)->text_.append(text);
    }
    std::string text_;
    ScopedDiagnosticSink scope_;
};

}  // namespace wsq
