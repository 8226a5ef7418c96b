#include "cli/diagnostics.h"

#include <cstdio>
#include <string_view>

#include "cli/options.h"
#include "wsq/diagnostics.h"

namespace cli {

namespace {

ToolPrompter* installed = nullptr;

std::string oneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    return text;
}

void codecLine(void*, std::string_view text)
{
    if (verbose())
        std::fwrite(text.data(), 1, text.size(), stderr);
}

}  // namespace

ToolPrompter::ToolPrompter()
{
    installed = this;
}

ToolPrompter::~ToolPrompter()
{
    if (installed == this)
        installed = nullptr;
}

void ToolPrompter::message(const std::string& text, const std::string&, platform::MessageIcon)
{
    if (echoing_)
        printDiagnostic(subject_, text);
}

platform::Answer ToolPrompter::question(const std::string& text, const std::string&)
{
    if (echoing_)
        printDiagnostic(subject_, text + (answer_ == platform::Answer::Ok ? " [OK]" : " [Cancel]"));
    return answer_;
}

ToolPrompter* ToolPrompter::current()
{
    return installed;
}

void printDiagnostic(const std::string& subject, const std::string& text)
{
    if (subject.empty())
        std::fprintf(stderr, "nisttool: %s\n", oneLine(text).c_str());
    else
        std::fprintf(stderr, "nisttool: %s: %s\n", oneLine(subject).c_str(), oneLine(text).c_str());
}

void printProblem(const std::string& subject, const nist::Problem& problem)
{
    std::string text = problem.text;
    if (text.rfind("Error: ", 0) == 0)
        text.erase(0, 7);
    if (!problem.reason.empty())
        text += ": " + problem.reason;
    if (problem.severity != nist::Severity::Error)
        text = std::string(nist::severityName(problem.severity)) + ": " + text;
    printDiagnostic(subject, text);
}

CodecDiagnostics::CodecDiagnostics()
{
    wsq::setDiagnosticSink(&codecLine, nullptr);
}

CodecDiagnostics::~CodecDiagnostics()
{
    wsq::setDiagnosticSink(nullptr, nullptr);
}

}  // namespace cli
