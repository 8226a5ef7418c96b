#pragma once
// Writes the transaction a reader holds into one directory: "type1.txt",
// "type2.txt", one "type4_<IDC>.wsq" per fingerprint and "type4.txt", as the
// reader's exportTypes switches for record types 1, 2 and 4 ask. Lines end
// with CR LF; values are written as the file held them. Failures are reported
// through platform::prompter() and the export goes on with the next file; the
// result says which files were written and which were not.
#include <string>
#include <vector>

#include "nist/transaction_reader.h"

namespace nist {

struct ExportFailure {
    std::string path;    // the file (or the target directory) that could not be made
    std::string reason;  // the system's reason, as strerror gives it
    bool operator==(const ExportFailure&) const = default;
};

struct ExportResult {
    std::vector<std::string> written;    // files created and written in full, in the order written
    std::vector<ExportFailure> failed;   // in the order met
    bool ok() const { return failed.empty(); }
};

// directory: the target directory, without a trailing separator.
ExportResult exportTransaction(const TransactionReader& reader, const std::string& directory);

}  // namespace nist
