#include "nist/problems.h"

#include <algorithm>

namespace nist {

const char* severityName(Severity severity)
{
    switch (severity) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Note: return "note";
    }
    return "error";
}

const char* completenessName(Completeness value)
{
    switch (value) {
    case Completeness::Complete: return "complete";
    case Completeness::Partial: return "partial";
    case Completeness::Unread: return "unread";
    }
    return "unread";
}

bool hasErrors(const std::vector<Problem>& problems)
{
    return std::any_of(problems.begin(), problems.end(),
                       [](const Problem& p) { return p.severity == Severity::Error; });
}

}  // namespace nist
