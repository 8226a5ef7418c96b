#pragma once
// What went wrong while reading a transaction, kept as values so that every
// front end can tell a whole read from a partial one without watching for
// message boxes.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nist {

enum class Severity {
    Error,    // something of the file was not read (or not decoded)
    Warning,  // the file disagrees with itself, but everything was read
    Note,     // worth knowing, nothing lost
};

struct Problem {
    Severity severity = Severity::Error;
    std::int64_t offset = 0;         // byte of the file where it was found
    std::optional<int> record;       // index in CNT order (0 is the Type-1 record); none for the file as a whole
    int recordType = 0;              // type of that record, 0 when there is none or it is not known
    std::string text;                // the message text, as shown
    std::string reason;              // the system's reason (strerror), empty when none
    bool shown = false;              // also shown in a message box (a raised error: by the front end)

    bool operator==(const Problem&) const = default;
};

enum class Completeness {
    Complete,  // every record CNT lists was read, and no error was found
    Partial,   // the Type-1 record was read, but not everything else
    Unread,    // no readable Type-1 record: nothing of the file is a transaction
};

const char* severityName(Severity severity);       // "error", "warning", "note"
const char* completenessName(Completeness value);  // "complete", "partial", "unread"

// Partial when any problem is an error; the caller decides Unread.
bool hasErrors(const std::vector<Problem>& problems);

}  // namespace nist
