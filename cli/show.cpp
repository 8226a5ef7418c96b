// nisttool show [--json] FILE: the tables and fingerprint records of one
// transaction, as the viewer window would show them.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/diagnostics.h"
#include "cli/options.h"
#include "cli/text_encoding.h"
#include "nist/transaction_reader.h"
#include "platform/prompter.h"

namespace cli {

namespace {

std::vector<int> visibleRows(const nist::RecordTable& table)
{
    std::vector<int> rows;
    for (int r = 1; r < table.rowCount(); ++r)
        if (table.isRowVisible(r))
            rows.push_back(r);
    return rows;
}

std::vector<std::pair<const char*, const std::string*>> headerTexts(const nist::T_T4& r)
{
    return {{"LEN", &r.LEN}, {"IDC", &r.IDC}, {"IMP", &r.IMP}, {"FGP", &r.FGP},
            {"ISR", &r.ISR}, {"HLL", &r.HLL}, {"VLL", &r.VLL}, {"GCA", &r.GCA}};
}

std::string jsonRows(const nist::RecordTable& table, const std::vector<int>& rows)
{
    std::string out = "[";
    for (int r : rows) {
        if (out.size() > 1)
            out += ",";
        out += "{\"code\":" + jsonString(table.code(r)) + ",\"value\":" + jsonString(table.value(r)) + "}";
    }
    return out + "]";
}

std::string jsonType4(const nist::TransactionReader& reader, std::size_t k)
{
    const nist::T_T4& r = reader.type4Records()[k];
    std::string out = "{";
    for (const auto& [name, value] : headerTexts(r))
        out += jsonString(name) + ":" + jsonString(*value) + ",";
    out += "\"imageSize\":" + std::to_string(r.imageSize);
    out += ",\"finger\":" + jsonString(nist::fingerPositionName(r.FGP));
    out += ",\"impression\":" + jsonString(nist::impressionTypeName(r.IMP));
    if (k < reader.fingerprintBitmaps().size()) {
        const nist::FingerprintInfo& info = reader.fingerprintInfo()[k];
        if (info.error.empty()) {
            const platform::Bitmap& b = reader.fingerprintBitmaps()[k];
            out += ",\"width\":" + std::to_string(b.width()) + ",\"height\":" + std::to_string(b.height()) +
                   ",\"ppi\":" + std::to_string(info.ppi);
        } else {
            out += ",\"decodeError\":" + jsonString(info.error);
        }
    }
    return out + "}";
}

std::string jsonProblems(const std::vector<nist::Problem>& problems)
{
    std::string out = "[";
    for (const nist::Problem& p : problems) {
        if (out.size() > 1)
            out += ",";
        const std::string text = p.reason.empty() ? p.text : p.text + ": " + p.reason;
        out += "{\"severity\":" + jsonString(nist::severityName(p.severity)) +
               ",\"offset\":" + std::to_string(p.offset) +
               ",\"record\":" + (p.record ? std::to_string(*p.record) : std::string("null")) +
               ",\"text\":" + jsonString(text) + "}";
    }
    return out + "]";
}

void printJson(const std::string& file, const nist::TransactionReader& reader)
{
    std::string out = "{\"file\":" + jsonString(file);
    out += std::string(",\"complete\":") +
           (reader.completeness() == nist::Completeness::Complete ? "true" : "false");
    std::vector<int> type1Rows;
    for (int r = 1; r <= 15; ++r)
        type1Rows.push_back(r);
    out += ",\"type1\":" + jsonRows(reader.type1Table(), type1Rows);
    out += ",\"type2\":" + jsonRows(reader.type2Table(), visibleRows(reader.type2Table()));
    out += ",\"type4\":[";
    for (std::size_t k = 0; k < reader.type4Records().size(); ++k)
        out += (k ? "," : "") + jsonType4(reader, k);
    // The texts the desktop program shows in message boxes, in order.
    out += "],\"messages\":[";
    bool first = true;
    for (const nist::Problem& p : reader.problems()) {
        if (!p.shown)
            continue;
        out += (first ? "" : ",") + jsonString(p.text);
        first = false;
    }
    out += "],\"problems\":" + jsonProblems(reader.problems()) + "}\n";
    std::fputs(out.c_str(), stdout);
}

void printText(const nist::TransactionReader& reader)
{
    std::printf("Type-1 (transaction information)\n");
    for (int r = 1; r <= 15; ++r)
        std::printf("  %-5s %s\n", reader.type1Table().code(r).c_str(), displayText(reader.type1Table().value(r)).c_str());
    std::printf("Type-2 (descriptive text)\n");
    for (int r : visibleRows(reader.type2Table()))
        std::printf("  %-5s %s\n", reader.type2Table().code(r).c_str(), displayText(reader.type2Table().value(r)).c_str());
    std::printf("Type-4 (fingerprints): %zu\n", reader.type4Records().size());
    for (std::size_t k = 0; k < reader.type4Records().size(); ++k) {
        const nist::T_T4& r = reader.type4Records()[k];
        std::string line = "  " + std::to_string(k + 1) + ":";
        for (const auto& [name, value] : headerTexts(r))
            line += std::string(" ") + name + "=" + *value;
        line += " imageSize=" + std::to_string(r.imageSize);
        line += " finger=\"" + nist::fingerPositionName(r.FGP) + "\"";
        line += " impression=\"" + nist::impressionTypeName(r.IMP) + "\"";
        if (k < reader.fingerprintBitmaps().size()) {
            const platform::Bitmap& b = reader.fingerprintBitmaps()[k];
            if (reader.fingerprintInfo()[k].error.empty())
                line += " decoded=" + std::to_string(b.width()) + "x" + std::to_string(b.height()) +
                        " ppi=" + std::to_string(reader.fingerprintInfo()[k].ppi);
            else
                line += " decodeError=\"" + reader.fingerprintInfo()[k].error + "\"";
        }
        std::printf("%s\n", line.c_str());
    }
}

int runShow(const std::vector<std::string>& args)
{
    const Options options = parseOptions(args, {{"--json", ""}});
    const std::vector<std::string>& files = options.positional();
    if (files.size() != 1)
        throw UsageError(files.empty() ? "no file given" : "one file at a time");

    // Every reader message is among the reader's problems, which are said
    // below, each once and about this file.
    ToolPrompter* prompter = ToolPrompter::current();
    if (prompter)
        prompter->setEchoing(false);
    nist::TransactionReader reader;
    try {
        reader.loadNistFile(files[0]);
    } catch (const std::exception&) {
        // The reader keeps the error; what was read before it is shown all the same.
    }
    if (prompter)
        prompter->setEchoing(true);
    for (const nist::Problem& problem : reader.problems())
        printProblem(files[0], problem);
    std::fflush(stderr);
    if (options.has("--json"))
        printJson(files[0], reader);
    else if (reader.completeness() != nist::Completeness::Unread)
        printText(reader);
    return reader.completeness() == nist::Completeness::Complete ? kExitOk : kExitFailure;
}

const CommandRegistrar registrar({"show", "show [--json] FILE", runShow,
                                  "Prints the Type-1 and Type-2 fields and one line per Type-4 fingerprint.\n"
                                  "Every problem the reader finds is one line on stderr.\n\n"
                                  "  --json   one JSON object, also for a bad file: the tables, the records,\n"
                                  "           \"complete\" and \"problems\" (severity, offset, record, text)\n\n"
                                  "exit code: 0 read completely, 1 read partly or not at all, 2 wrong arguments\n"});

}  // namespace

}  // namespace cli
