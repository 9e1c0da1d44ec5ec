// The reply reader against pugixml on the same documents in the same run: a folder listing of
// 100,000 entries parsed and walked the way the remote panel walks it (every FOLDER, then every FILE,
// each entry's NAME text copied out), and a one-line OK reply for the cost of a parser itself.
// After the runs it prints the ratio of our time to pugixml's for each document.
//
// The faults counter gives the minor page faults per iteration: memory that the allocator handed back
// to the system and had to fault in again. On a virtual machine each fault costs microseconds, so a
// parser whose memory churns that way loses far more there than in parsing.
#include "xml/XMLParser.h"

#include <benchmark/benchmark.h>
#include <pugixml.hpp>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace {

using quorral::CXMLNode;
using quorral::CXMLParser;

constexpr int ListingEntries = 100000;

// One reply line: a folder every tenth entry, mixed in among the files as a till may list them.
std::string MakeListing()
{
    std::string text = "<DIRLIST>";
    for (int i = 0; i < ListingEntries; ++i) {
        const std::string number = std::to_string(100000 + i);
        if (i % 10 == 3) {
            text += "<FOLDER><NAME>Folder " + number + "</NAME></FOLDER>";
        } else {
            text += "<FILE><NAME>sale-" + number + ".dat</NAME></FILE>";
        }
    }
    return text + "</DIRLIST>";
}

const std::string& Listing()
{
    static const std::string text = MakeListing();
    return text;
}

const std::string OkReply = "<RESPONSE>OK</RESPONSE>";

long MinorFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

template <typename Walk>
void RunListing(benchmark::State& state, Walk walk)
{
    const long faultsBefore = MinorFaults();
    for (auto _ : state) {
        benchmark::DoNotOptimize(walk(Listing()));
    }
    state.counters["faults"] = benchmark::Counter(static_cast<double>(MinorFaults() - faultsBefore),
                                                  benchmark::Counter::kAvgIterations);
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(Listing().size()));
}

std::vector<std::string> WalkOurs(const std::string& text)
{
    std::vector<std::string> names;
    const CXMLParser parser(text);
    for (const char* kind : {"FOLDER", "FILE"}) {
        for (const CXMLNode* entry = FindChild(parser.Root(), kind); entry != nullptr;
             entry = NextSibling(*entry, true)) {
            const CXMLNode* name = FindChild(entry, "NAME");
            names.push_back(name != nullptr ? name->Text : std::string());
        }
    }
    return names;
}

std::vector<std::string> WalkPugixml(const std::string& text)
{
    std::vector<std::string> names;
    pugi::xml_document document;
    document.load_buffer(text.data(), text.size());
    const pugi::xml_node root = document.document_element();
    for (const char* kind : {"FOLDER", "FILE"}) {
        for (pugi::xml_node entry = root.child(kind); entry; entry = entry.next_sibling(kind)) {
            names.emplace_back(entry.child("NAME").text().get());
        }
    }
    return names;
}

void Listing_Quorral(benchmark::State& state)
{
    RunListing(state, WalkOurs);
}

void Listing_Pugixml(benchmark::State& state)
{
    RunListing(state, WalkPugixml);
}

void OkReply_Quorral(benchmark::State& state)
{
    for (auto _ : state) {
        const CXMLParser parser(OkReply);
        benchmark::DoNotOptimize(parser.Root()->Text.size());
    }
}

void OkReply_Pugixml(benchmark::State& state)
{
    for (auto _ : state) {
        pugi::xml_document document;
        document.load_buffer(OkReply.data(), OkReply.size());
        benchmark::DoNotOptimize(std::string_view(document.document_element().text().get()).size());
    }
}

BENCHMARK(Listing_Quorral)->Unit(benchmark::kMillisecond);
BENCHMARK(Listing_Pugixml)->Unit(benchmark::kMillisecond);
BENCHMARK(OkReply_Quorral);
BENCHMARK(OkReply_Pugixml);

// Keeps each run's CPU time (steadier than wall time on a busy machine) so that the ratios can be printed
// once all runs are done.
class CRatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.repetitions <= 1) {
                FCpuTime[run.benchmark_name()] = run.GetAdjustedCPUTime();
            } else if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median") {
                std::string name = run.benchmark_name();
                FCpuTime[name.substr(0, name.rfind('_'))] = run.GetAdjustedCPUTime();
            }
        }
    }

    void PrintRatios() const
    {
        for (const char* document : {"Listing", "OkReply"}) {
            const auto ours = FCpuTime.find(std::string(document) + "_Quorral");
            const auto peer = FCpuTime.find(std::string(document) + "_Pugixml");
            if (ours != FCpuTime.end() && peer != FCpuTime.end() && peer->second > 0) {
                std::printf("%-8s quorral/pugixml time ratio: %.2f\n", document, ours->second / peer->second);
            }
        }
    }

private:
    std::map<std::string, double> FCpuTime;
};

} // namespace

int main(int argc, char** argv)
{
    // Both readers must see the same listing before their times mean anything.
    if (WalkOurs(Listing()) != WalkPugixml(Listing()) || WalkOurs(Listing()).size() != ListingEntries) {
        std::fprintf(stderr, "the two readers disagree on the listing\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
