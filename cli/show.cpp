// nisttool show [--json] FILE: the tables and fingerprint records of one
// transaction, as the viewer window would show them.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/command.h"
#include "cli/text_encoding.h"
#include "nist/transaction_reader.h"
#include "platform/prompter.h"

namespace cli {

namespace {

// Reader messages go to stderr as they come, and are kept for the JSON output.
class KeepingPrompter : public platform::StderrPrompter {
public:
    void message(const std::string& text, const std::string& caption, platform::MessageIcon icon) override
    {
        StderrPrompter::message(text, caption, icon);
        texts.push_back(text);
    }
    std::vector<std::string> texts;
};

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
    const nist::T_T4& r = reader.type4Records[k];
    std::string out = "{";
    for (const auto& [name, value] : headerTexts(r))
        out += jsonString(name) + ":" + jsonString(*value) + ",";
    out += "\"imageSize\":" + std::to_string(r.imageSize);
    out += ",\"finger\":" + jsonString(nist::fingerPositionName(r.FGP));
    out += ",\"impression\":" + jsonString(nist::impressionTypeName(r.IMP));
    if (k < reader.fingerprintBitmaps.size()) {
        const nist::FingerprintInfo& info = reader.fingerprintInfo[k];
        if (info.error.empty()) {
            const platform::Bitmap& b = reader.fingerprintBitmaps[k];
            out += ",\"width\":" + std::to_string(b.width()) + ",\"height\":" + std::to_string(b.height()) +
                   ",\"ppi\":" + std::to_string(info.ppi);
        } else {
            out += ",\"decodeError\":" + jsonString(info.error);
        }
    }
    return out + "}";
}

void printJson(const std::string& file, const nist::TransactionReader& reader, const std::vector<std::string>& messages)
{
    std::string out = "{\"file\":" + jsonString(file);
    std::vector<int> type1Rows;
    for (int r = 1; r <= 15; ++r)
        type1Rows.push_back(r);
    out += ",\"type1\":" + jsonRows(reader.type1Table, type1Rows);
    out += ",\"type2\":" + jsonRows(reader.type2Table, visibleRows(reader.type2Table));
    out += ",\"type4\":[";
    for (std::size_t k = 0; k < reader.type4Records.size(); ++k)
        out += (k ? "," : "") + jsonType4(reader, k);
    out += "],\"messages\":[";
    for (std::size_t i = 0; i < messages.size(); ++i)
        out += (i ? "," : "") + jsonString(messages[i]);
    out += "]}\n";
    std::fputs(out.c_str(), stdout);
}

void printText(const nist::TransactionReader& reader)
{
    std::printf("Type-1 (transaction information)\n");
    for (int r = 1; r <= 15; ++r)
        std::printf("  %-5s %s\n", reader.type1Table.code(r).c_str(), displayText(reader.type1Table.value(r)).c_str());
    std::printf("Type-2 (descriptive text)\n");
    for (int r : visibleRows(reader.type2Table))
        std::printf("  %-5s %s\n", reader.type2Table.code(r).c_str(), displayText(reader.type2Table.value(r)).c_str());
    std::printf("Type-4 (fingerprints): %zu\n", reader.type4Records.size());
    for (std::size_t k = 0; k < reader.type4Records.size(); ++k) {
        const nist::T_T4& r = reader.type4Records[k];
        std::string line = "  " + std::to_string(k + 1) + ":";
        for (const auto& [name, value] : headerTexts(r))
            line += std::string(" ") + name + "=" + *value;
        line += " imageSize=" + std::to_string(r.imageSize);
        line += " finger=\"" + nist::fingerPositionName(r.FGP) + "\"";
        line += " impression=\"" + nist::impressionTypeName(r.IMP) + "\"";
        if (k < reader.fingerprintBitmaps.size()) {
            const platform::Bitmap& b = reader.fingerprintBitmaps[k];
            if (reader.fingerprintInfo[k].error.empty())
                line += " decoded=" + std::to_string(b.width()) + "x" + std::to_string(b.height()) +
                        " ppi=" + std::to_string(reader.fingerprintInfo[k].ppi);
            else
                line += " decodeError=\"" + reader.fingerprintInfo[k].error + "\"";
        }
        std::printf("%s\n", line.c_str());
    }
}

int runShow(const std::vector<std::string>& args)
{
    bool json = false;
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else if (a.size() > 1 && a[0] == '-')
            return usageError("show", "unknown option '" + a + "'");
        else
            files.push_back(a);
    }
    if (files.size() != 1)
        return usageError("show", files.empty() ? "no file given" : "one file at a time");

    KeepingPrompter prompter;
    platform::ScopedPrompter scope(prompter);
    nist::TransactionReader reader;
    bool loaded = false;
    bool failed = false;
    try {
        loaded = reader.loadNistFile(files[0]);
        failed = !loaded;
    } catch (const std::exception& e) {
        // What was read before the error is shown all the same.
        std::fprintf(stderr, "nisttool: %s\n", e.what());
        prompter.texts.push_back(e.what());
        loaded = true;
        failed = true;
    }
    if (loaded) {
        std::fflush(stderr);
        if (json)
            printJson(files[0], reader, prompter.texts);
        else
            printText(reader);
    }
    return failed ? kExitFailure : kExitOk;
}

const CommandRegistrar registrar({"show", "show [--json] FILE", runShow});

}  // namespace

}  // namespace cli
