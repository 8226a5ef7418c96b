#pragma once
// Names of the fields of the record types the later editions define, for the
// Code and Description columns of their tables and for the export lines.
#include <string>

namespace nist {

struct FieldName {
    std::string code;         // the standard's mnemonic ("FGP"); empty when not known
    std::string description;  // "Finger position"; empty when not known
};

FieldName fieldName(int recordType, int fieldNumber);

// Caption of a record type's tab ("14 Tenprint fingerprint Impressions
// (Variable-resolution)"); types without a name get "<type> Type-<type> record".
std::string recordTypeCaption(int recordType);

}  // namespace nist
