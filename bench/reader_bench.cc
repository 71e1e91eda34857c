// Costs of the steps an export is made of, each on its own, on a generated database: opening
// (with the code page census), finding an item by spec, reading a file's history, building
// its rows and writing them, and the whole walk. run-benchmarks runs it once; run it alone
// to follow one step while changing it.
//
//   varnotte-reader-bench [--varnotte_files=N] [Google Benchmark flags]
#include <benchmark/benchmark.h>

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "export/csv_rows.h"
#include "export/output_file_writer.h"
#include "export/subtree_walk.h"
#include "sourcesafe/vss_database.h"
#include "testing/database_generator.h"
#include "vssdb/code_page_memory.h"
#include "vssdb/database.h"

namespace {

namespace fs = std::filesystem;

// The generated database, removed when the program ends.
class BenchDatabase {
  public:
    explicit BenchDatabase(int files) {
        std::string pattern = (fs::temp_directory_path() / "varnotte-reader-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot create a temporary folder");
        }
        root_ = pattern;
        vsstest::DatabaseShape shape;
        shape.filesPerProject = 50;
        shape.projects = std::max(1, files / shape.filesPerProject);
        shape.depth = 3;
        shape.versionsPerFile = 10;
        counts_ = vsstest::GenerateDatabase(root_ / "db", shape);
    }
    ~BenchDatabase() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    BenchDatabase(const BenchDatabase&) = delete;
    BenchDatabase& operator=(const BenchDatabase&) = delete;

    std::string ini() const { return (root_ / "db" / "srcsafe.ini").string(); }
    const vsstest::GeneratedCounts& counts() const { return counts_; }

  private:
    fs::path root_;
    vsstest::GeneratedCounts counts_;
};

BenchDatabase* gDatabase = nullptr;

sourcesafe::IVSSDatabase OpenAutomation() {
    sourcesafe::IVSSDatabase database;
    sourcesafe::CreateInstance(sourcesafe::CLSID_VSSDatabase, sourcesafe::CLSCTX_ALL_SERVERS,
                               sourcesafe::IID_IVSSDatabase6, database);
    database.Open(gDatabase->ini(), "Admin", "");
    return database;
}

// The first file of the first project at the deepest level a walk from the root reaches.
sourcesafe::IVSSItem DeepestFile(const sourcesafe::IVSSDatabase& database) {
    sourcesafe::IVSSItem project = database.VSSItem("$/");
    for (;;) {
        const sourcesafe::IVSSItems children = project.Items(false);
        sourcesafe::IVSSItem file;
        sourcesafe::IVSSItem subproject;
        for (int i = 1; i <= children.Count(); ++i) {
            const sourcesafe::IVSSItem child = children.Item(i);
            if (child.Type() == sourcesafe::VSSITEM_FILE && file.IsEmpty()) {
                file = child;
            } else if (child.Type() == sourcesafe::VSSITEM_PROJECT && subproject.IsEmpty()) {
                subproject = child;
            }
        }
        if (subproject.IsEmpty()) {
            return file;
        }
        project = subproject;
    }
}

// The first open of a database in a process reads every log to find its code page.
void BM_OpenDatabase(benchmark::State& state) {
    for (auto _ : state) {
        vssdb::ForgetCodePages();
        auto database = vssdb::Database::Open(gDatabase->ini());
        benchmark::DoNotOptimize(database->codePage());
    }
    state.counters["files"] = static_cast<double>(gDatabase->counts().files);
}
BENCHMARK(BM_OpenDatabase)->Unit(benchmark::kMillisecond);

// Opening it again (the dialog's next login) reuses that answer.
void BM_OpenDatabaseAgain(benchmark::State& state) {
    vssdb::Database::Open(gDatabase->ini());
    for (auto _ : state) {
        auto database = vssdb::Database::Open(gDatabase->ini());
        benchmark::DoNotOptimize(database->codePage());
    }
}
BENCHMARK(BM_OpenDatabaseAgain)->Unit(benchmark::kMillisecond);

void BM_LocateDeepFile(benchmark::State& state) {
    const sourcesafe::IVSSDatabase database = OpenAutomation();
    const std::string spec = DeepestFile(database).Spec();
    for (auto _ : state) {
        benchmark::DoNotOptimize(database.VSSItem(spec));
    }
}
BENCHMARK(BM_LocateDeepFile);

void BM_FileHistory(benchmark::State& state) {
    const sourcesafe::IVSSDatabase database = OpenAutomation();
    const sourcesafe::IVSSItem file = DeepestFile(database);
    for (auto _ : state) {
        auto versions = file.Versions(0).NewEnum();
        sourcesafe::IVSSVersion version;
        while (versions.Next(version)) {
            benchmark::DoNotOptimize(version.VersionNumber());
        }
    }
}
BENCHMARK(BM_FileHistory);

void BM_VersionRows(benchmark::State& state) {
    const sourcesafe::IVSSDatabase database = OpenAutomation();
    const sourcesafe::IVSSItem file = DeepestFile(database);
    std::vector<sourcesafe::IVSSVersion> versions;
    auto enumerator = file.Versions(0).NewEnum();
    for (sourcesafe::IVSSVersion version; enumerator.Next(version);) {
        versions.push_back(version);
    }
    for (auto _ : state) {
        for (const sourcesafe::IVSSVersion& version : versions) {
            benchmark::DoNotOptimize(varnotte::VersionRow(file, version));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(versions.size()));
}
BENCHMARK(BM_VersionRows);

void BM_AppendCsvLine(benchmark::State& state) {
    const std::string row =
        R"("$/Project 1/Project 7/report_1234.cpp","7","alice","Checked in $/Project 1/Project 7",)"
        R"("1998/04/12 10:31:07","fix crash when saving ""large"" reports)"
        "\nreview comments\"";
    QByteArray out;
    for (auto _ : state) {
        out.resize(0);
        varnotte::AppendCsvLine(out, row);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(row.size()));
}
BENCHMARK(BM_AppendCsvLine);

// The walk as varnotte-csv runs it, rows counted instead of written.
class CountingHost : public varnotte::WalkHost {
  public:
    Node AddProjectNode(Node, const sourcesafe::IVSSItem&) override { return nullptr; }
    void AddFileNode(Node, const sourcesafe::IVSSItem&) override {}
    void ShowStatus(const std::string&) override {}
    void AddRow(std::string row) override {
        bytes_ += row.size();
        ++rows_;
    }
    void ItemFailed(const std::string& spec, const sourcesafe::VssError& error) override {
        throw std::runtime_error(spec + ": " + error.what());
    }
    std::int64_t rows_ = 0;
    std::int64_t bytes_ = 0;
};

void BM_ExportWalk(benchmark::State& state) {
    const sourcesafe::IVSSDatabase database = OpenAutomation();
    const int firstExpand = 0;
    const int running = 1;
    const int confirmed = 1;
    const int history = 1;
    const varnotte::WalkFlags flags{firstExpand, running, confirmed, history};
    std::int64_t rows = 0;
    for (auto _ : state) {
        CountingHost host;
        varnotte::SubtreeWalk(database, flags, host).ExpandProject(nullptr, "$/");
        rows += host.rows_;
    }
    state.SetItemsProcessed(rows);
}
BENCHMARK(BM_ExportWalk)->Unit(benchmark::kMillisecond);

// Takes --varnotte_files=N out of the arguments; Google Benchmark has the rest.
int TakeFilesArgument(int& argc, char** argv) {
    constexpr std::string_view kFlag = "--varnotte_files=";
    int files = 2000;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.substr(0, kFlag.size()) == kFlag) {
            files = std::max(1, std::atoi(argv[i] + kFlag.size()));
        } else {
            argv[kept++] = argv[i];
        }
    }
    argc = kept;
    return files;
}

}  // namespace

int main(int argc, char** argv) {
    const int files = TakeFilesArgument(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    BenchDatabase database(files);
    gDatabase = &database;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
