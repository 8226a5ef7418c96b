// Reading a multi-megabyte transaction (images not decoded, as in a batch
// run) and extracting a tree of small transactions.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

#include "batch/nist_batch_extractor.h"
#include "nist/transaction_reader.h"
#include "nist/transaction_writer.h"
#include "platform/prompter.h"
#include "test_support/temp_dir.h"

namespace {

nist::Type4Image randomPrint(std::uint8_t idc, std::size_t size, std::mt19937& random)
{
    nist::Type4Image image;
    image.idc = idc;
    image.fgp[0] = idc;
    image.hll = 800;
    image.vll = 750;
    image.data.resize(size);
    for (auto& b : image.data)
        b = static_cast<std::uint8_t>(random());
    return image;
}

// Type-1, a Type-2 with a few fields and fourteen 300 KB fingerprints.
std::vector<std::uint8_t> largeTransaction()
{
    std::mt19937 random(7);
    nist::TransactionWriter w;
    w.addType2Record({{3, "SMITH,JOHN"}, {4, "19700101"}, {5, std::string(800, 'x')}});
    for (std::uint8_t k = 1; k <= 14; ++k)
        w.addType4Record(randomPrint(k, 300 * 1024, random));
    return w.build();
}

void BM_ReadTransactionFromFile(benchmark::State& state)
{
    TempDir dir;
    const std::vector<std::uint8_t> bytes = largeTransaction();
    nist::TransactionWriter().writeFile(dir.path() / "x");  // warm the directory
    const auto path = dir.path() / "large.nist";
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    nist::TransactionReader reader;
    reader.decodeImages = false;
    for (auto _ : state) {
        reader.loadNistFile(path);
        benchmark::DoNotOptimize(reader.type4Records().data());
    }
    if (reader.type4Records().size() != 14)
        state.SkipWithError("transaction not read whole");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadTransactionFromFile)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadTransactionFromMemory(benchmark::State& state)
{
    const std::vector<std::uint8_t> bytes = largeTransaction();
    nist::TransactionReader reader;
    reader.decodeImages = false;
    for (auto _ : state) {
        reader.loadNistBytes(bytes);
        benchmark::DoNotOptimize(reader.type4Records().data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_ReadTransactionFromMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

// Parsing alone: the reader works on the benchmark's bytes where they are.
void parseOnly(benchmark::State& state, const std::vector<std::uint8_t>& bytes, std::size_t type4Expected)
{
    nist::TransactionReader reader;
    reader.decodeImages = false;
    for (auto _ : state) {
        reader.loadNistView(bytes);
        benchmark::DoNotOptimize(reader.type4Records().data());
    }
    if (reader.type4Records().size() != type4Expected)
        state.SkipWithError("transaction not read whole");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_ParseLargeType4(benchmark::State& state) { parseOnly(state, largeTransaction(), 14); }
BENCHMARK(BM_ParseLargeType4)->Unit(benchmark::kMillisecond)->UseRealTime();

// A Type-2 record of 900 text fields and two small prints.
void BM_ParseType2Heavy(benchmark::State& state)
{
    std::mt19937 random(5);
    nist::TransactionWriter w;
    std::vector<nist::TaggedField> fields;
    for (int tag = 3; tag < 903; ++tag)
        fields.push_back({tag, "VALUE " + std::to_string(tag) + std::string(40, 'v')});
    w.addType2Record(fields);
    w.addType4Record(randomPrint(1, 2048, random));
    w.addType4Record(randomPrint(2, 2048, random));
    parseOnly(state, w.build(), 2);
}
BENCHMARK(BM_ParseType2Heavy)->Unit(benchmark::kMicrosecond)->UseRealTime();

// 200 transactions of about 5 KB in ten subdirectories, extracted with every
// record type on.
void BM_ExtractTree(benchmark::State& state)
{
    TempDir dir;
    std::mt19937 random(11);
    const auto in = dir.path() / "in";
    const int files = 200;
    for (int i = 0; i < files; ++i) {
        const auto sub = in / ("d" + std::to_string(i % 10));
        std::filesystem::create_directories(sub);
        nist::TransactionWriter w;
        w.addType2Record({{3, "NAME " + std::to_string(i)}, {10, "value"}});
        w.addType4Record(randomPrint(1, 2048, random));
        w.addType4Record(randomPrint(2, 2048, random));
        w.writeFile(sub / ("t" + std::to_string(i) + ".nist"));
    }
    const auto out = dir.path() / "out";
    std::filesystem::create_directories(out);
    nist::TransactionReader reader;
    batch::NistBatchExtractor extractor(reader);
    const batch::NistBatchSettings settings{
        .inputDirectory = in.string(), .outputDirectory = out.string(), .includeSubdirectories = true};
    for (auto _ : state) {
        const batch::NistBatchResult r = extractor.run(settings);
        if (r.filesExported != static_cast<std::size_t>(files))
            state.SkipWithError("not every file was exported");
    }
    state.SetItemsProcessed(state.iterations() * files);
    state.SetLabel("items = transaction files");
}
BENCHMARK(BM_ExtractTree)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
