#pragma once
// Writes the transaction a reader holds into one directory: "type1.txt",
// "type2.txt", one "type4_<IDC>.wsq" per fingerprint and "type4.txt", as the
// reader's exportTypes switches for record types 1, 2 and 4 ask. Lines end
// with CR LF; values are written as the file held them. Failures are reported
// through platform::prompter() and the export goes on with the next file.
#include <string>

#include "nist/transaction_reader.h"

namespace nist {

// directory: the target directory, without a trailing separator.
void exportTransaction(const TransactionReader& reader, const std::string& directory);

}  // namespace nist
