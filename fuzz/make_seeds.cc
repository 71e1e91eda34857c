// Writes the seed corpora of the fuzz targets: files of databases built with the writer,
// and, when a fixtures folder is given, files of the real databases there (read only,
// copied into the output folder, never into the repository).
//
//   varnotte-fuzz-seeds OUTPUT [FIXTURES]
//
// OUTPUT/<target>/ receives the seeds of each target (the names of fuzz/CMakeLists.txt).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "codepage/text_decoder.h"
#include "fuzz/database_bundle.h"
#include "testing/damage.h"
#include "testing/database_writer.h"
#include "testing/delta_encoder.h"
#include "testing/record_builder.h"
#include "vssdb/declared_size.h"
#include "vssdb/name_format.h"
#include "vssdb/project_entry_format.h"
#include "vssdb/record_format.h"

namespace {

namespace fs = std::filesystem;
using vsstest::DatabaseWriter;
using vsstest::ItemId;
using vsstest::Stamp;

// Larger files make slow inputs; the fuzzer grows small ones by itself.
constexpr std::uintmax_t kMaxSeedSize = 64 * 1024;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class Corpora {
  public:
    explicit Corpora(fs::path root) : root_(std::move(root)) {}

    void Add(const std::string& target, const std::string& name, const std::string& bytes) {
        if (bytes.size() > kMaxSeedSize) {
            return;
        }
        const fs::path dir = root_ / target;
        fs::create_directories(dir);
        std::ofstream(dir / name, std::ios::binary | std::ios::trunc) << bytes;
        ++count_[target];
    }
    void AddFile(const std::string& target, const std::string& name, const fs::path& file) {
        if (fs::is_regular_file(file) && fs::file_size(file) <= kMaxSeedSize) {
            Add(target, name, ReadFile(file));
        }
    }
    void Report() const {
        for (const auto& [target, count] : count_) {
            std::printf("%-16s %d seeds\n", target.c_str(), count);
        }
    }

  private:
    fs::path root_;
    std::map<std::string, int> count_;
};

// names.dat with four name fields in front that point into it, as the names target reads
// it: fields of the database's child entries, else made up for its first name records.
std::string NamesSeed(const std::string& names, const std::vector<std::string>& fields) {
    namespace nf = vssdb::name_format;
    std::string seed;
    for (const std::string& field : fields) {
        if (seed.size() < 4 * nf::kSize) {
            seed += field;
        }
    }
    for (const vsstest::RecordInfo& record : vsstest::ListRecordsInBytes(names, false)) {
        if (record.signature == vssdb::record_format::kName && seed.size() < 4 * nf::kSize) {
            std::string field(nf::kSize, '\0');
            vsstest::PutU32(field, nf::kNamesOffsetOffset,
                            static_cast<std::uint32_t>(record.offset));
            seed += field;
        }
    }
    seed.resize(4 * nf::kSize, '\0');
    return seed + names;
}

// A child list with the count of its entries in front, as the project_entries target
// reads it.
std::string ChildListSeed(const std::string& list) {
    const auto count = static_cast<std::uint16_t>(list.size() / vssdb::kChildEntrySize);
    std::string seed(2, '\0');
    vsstest::PutU16(seed, 0, count);
    return seed + list;
}

// The name fields of a child list's entries that point into names.dat.
void CollectNameFields(const std::string& list, std::vector<std::string>& fields) {
    namespace pe = vssdb::project_entry_format;
    for (const vsstest::RecordInfo& record : vsstest::ListRecordsInBytes(list, false)) {
        const std::size_t field = record.offset + vssdb::record_format::kHeaderSize + pe::kName;
        if (record.signature == vssdb::record_format::kProjectEntry &&
            field + vssdb::name_format::kSize <= list.size() &&
            vsstest::GetU32(list, field + vssdb::name_format::kNamesOffsetOffset) != 0) {
            fields.push_back(list.substr(field, vssdb::name_format::kSize));
        }
    }
}

// Every file of a database folder that one of the targets reads.
void AddDatabaseFiles(Corpora& corpora, const std::string& prefix, const fs::path& root) {
    corpora.AddFile("srcsafe_ini", prefix + "-srcsafe.ini", root / "srcsafe.ini");
    fs::path data = root / "data";
    if (!fs::is_directory(data)) {
        return;
    }
    corpora.AddFile("user_file", prefix + "-um.dat", data / "um.dat");

    varnotte::fuzz::BundleFiles bundle;
    std::vector<std::string> kept(varnotte::fuzz::kBundleSlots.size());
    int logs = 0;
    std::vector<std::string> nameFields;
    for (const auto& entry : fs::recursive_directory_iterator(data)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || name.size() < 8 || logs > 40) {
            continue;
        }
        if (name.size() == 8) {
            corpora.AddFile("item_log", prefix + "-" + name, entry.path());
            ++logs;
        } else if (name.size() == 10 && name[8] == '.') {
            // Only projects' data files are child lists; the log says which an item is.
            const std::string log = ReadFile(entry.path().parent_path() / name.substr(0, 8));
            if (log.size() > 33 && log[32] == 1) {
                const std::string list = ReadFile(entry.path());
                corpora.Add("project_entries", prefix + "-" + name, ChildListSeed(list));
                CollectNameFields(list, nameFields);
            }
        }
    }
    if (fs::exists(data / "names.dat")) {
        corpora.Add("names_file", prefix + "-names.dat",
                    NamesSeed(ReadFile(data / "names.dat"), nameFields));
    }
    for (std::size_t slot = 0; slot < kept.size(); ++slot) {
        const fs::path file = data / varnotte::fuzz::kBundleSlots[slot].path;
        fs::path found = file;
        if (!fs::exists(found) && varnotte::fuzz::kBundleSlots[slot].alternative != nullptr) {
            found = data / varnotte::fuzz::kBundleSlots[slot].alternative;
        }
        if (fs::is_regular_file(found)) {
            kept[slot] = ReadFile(found);
            bundle[slot] = kept[slot];
        }
    }
    if (bundle[2]) {
        corpora.Add("database", prefix + ".bundle", varnotte::fuzz::JoinBundle(bundle));
    }
}

// Databases of at most four items, so that every item lands in a slot of the bundle.
void WriteDatabases(const fs::path& scratch, Corpora& corpora) {
    const std::vector<std::pair<std::string, std::function<void(DatabaseWriter&)>>> databases = {
        {"written-edits",
         [](DatabaseWriter& w) {
             const ItemId project = w.AddProject(w.Root(), "Project");
             const ItemId file =
                 w.AddFile(project, "file.txt", Stamp{"Admin", 100, "first\r\nline two"});
             w.CheckIn(file, Stamp{"Guest", 200, "second"});
             w.Label(file, "release 1", Stamp{"Admin", 300, ""}, "label comment");
             w.CheckOut(file, {{"Guest", 400, "editing"}, "C:\\work", "PC", ""});
             w.CheckOutAgain(file, {{"Admin", 500, ""}, "D:\\src", "BUILD", ""});
             w.AddFile(w.Root(), "A name with spaces that is long.txt");
         }},
        {"written-shares",
         [](DatabaseWriter& w) {
             const ItemId project = w.AddProject(w.Root(), "Shared into");
             const ItemId file = w.AddFile(w.Root(), "common.h");
             w.CheckIn(file);
             w.Share(file, project);
             w.Pin(project, file, 1);
             const ItemId gone = w.AddFile(project, "gone.txt");
             w.Delete(project, gone);
         }},
        {"written-branch",
         [](DatabaseWriter& w) {
             const ItemId project = w.AddProject(w.Root(), "p");
             const ItemId file = w.AddFile(w.Root(), "b.c");
             w.Share(file, project);
             w.CheckIn(file);
             w.Branch(project, file);
         }},
        {"written-renames",
         [](DatabaseWriter& w) {
             const ItemId project = w.AddProject(w.Root(), "old");
             const ItemId sub = w.AddProject(project, "sub");
             w.Rename(w.Root(), project, "new name");
             const ItemId file = w.AddFile(sub, "x.txt");
             w.Destroy(sub, file);
             w.Label(w.Root(), "root label");
         }},
        {"written-japanese",
         [](DatabaseWriter& w) {
             w.AddUser("\x93\xfa\x96\x7b", "pw");  // 日本 in CP932
             const ItemId project =
                 w.AddProject(w.Root(), "\x83\x76\x83\x8d\x83\x57\x83\x46\x83\x4e\x83\x67");
             w.AddFile(project, "\x8e\x64\x97\x6c\x8f\x91.txt",
                       Stamp{"Admin", 5, "\x8f\x43\x90\xb3"});
         }},
    };
    for (const auto& [name, build] : databases) {
        const fs::path root = scratch / name;
        DatabaseWriter writer(root);
        build(writer);
        writer.Write();
        AddDatabaseFiles(corpora, name, root);
    }
    // Damage that reads without a checksum failing: a child list shorter than its count,
    // a names.dat record duplicated (the records after it move), an entry named with "/".
    const std::vector<std::pair<std::string, std::function<void(const DatabaseWriter&, ItemId)>>>
        damages = {
            {"damaged-short-list",
             [](const DatabaseWriter& w, ItemId project) {
                 vsstest::TruncateFile(w.DataPath(project), vssdb::kChildEntrySize);
             }},
            {"damaged-shifted-names",
             [](const DatabaseWriter& w, ItemId) {
                 const auto records = vsstest::ListRecords(w.NamesFilePath(), false);
                 vsstest::DuplicateRecord(w.NamesFilePath(), records.at(1).offset);
             }},
            {"damaged-slash-name",
             [](const DatabaseWriter& w, ItemId project) {
                 const auto records = vsstest::ListRecords(w.DataPath(project), false);
                 const std::string list = ReadFile(w.DataPath(project));
                 vsstest::PatchChildEntry(
                     w.DataPath(project),
                     list.substr(records.at(0).offset + 8 + vssdb::project_entry_format::kPhysical,
                                 8),
                     vssdb::project_entry_format::kName + vssdb::name_format::kShortNameOffset,
                     std::string_view("sub/x.txt\0", 10));
             }},
        };
    for (const auto& [name, damage] : damages) {
        const fs::path root = scratch / name;
        DatabaseWriter writer(root);
        const ItemId project = writer.AddProject(writer.Root(), "Project");
        writer.AddFile(project, "A long name with spaces, the first.txt");
        writer.AddFile(project, "A long name with spaces, the second.txt");
        writer.Write();
        damage(writer, project);
        AddDatabaseFiles(corpora, name, root);
    }
}

// Texts of several code pages, made from UTF-8 samples.
void AddTexts(Corpora& corpora) {
    const std::vector<std::pair<int, std::string>> samples = {
        {932, "日本語のファイル名.txt"},
        {936, "简体中文注释"},
        {950, "繁體中文標籤"},
        {949, "한국어 이름"},
        {1251, "Проверка кириллицы"},
        {1252, "Grüße aus Köln"},
        {1250, "Zażółć gęślą jaźń"},
        {1253, "Ελληνικά"},
        {1254, "Türkçe ığ"},
        {1255, "עברית"},
        {1256, "العربية"},
        {1257, "Ąčęėįšųūž"},
        {1258, "Tiếng Việt"},
    };
    for (const auto& [codePage, text] : samples) {
        const auto encoded = codepage::TextDecoder(codePage).FromUtf8(text);
        if (encoded) {
            corpora.Add("code_page", "cp" + std::to_string(codePage),
                        *encoded + '\0' + "plain.txt" + '\0' + *encoded);
        }
    }
}

// Deltas from the writer's encoder between versions that differ as check-ins do.
void AddDeltas(Corpora& corpora) {
    const std::string lines = "first line\r\nsecond line\r\nthird line\r\n";
    const std::vector<std::tuple<std::string, std::string, std::string>> pairs = {
        {"edit", "first line\r\nSECOND line\r\nthird line\r\n", lines},
        {"insertion", "new\r\n" + lines, lines},
        {"deletion", "third line\r\n", lines},
        {"moved", "third line\r\nfirst line\r\nsecond line\r\n", lines},
        {"emptied", "", lines},
        {"from-empty", lines, ""},
        {"binary", std::string("\x00\x01\xFF\x00\x7F", 5) + lines, lines + std::string(4, '\0')},
    };
    for (const auto& [name, older, newer] : pairs) {
        std::string seed;
        vsstest::AppendU16(seed, static_cast<std::uint16_t>(newer.size()));
        seed += newer + vsstest::EncodeReverseDelta(older, newer);
        corpora.Add("reverse_delta", name, seed);
    }
}

// Each database folder below `folder`; a folder without srcsafe.ini or data/ may group some.
void AddFixtures(Corpora& corpora, const fs::path& folder, const std::string& prefix) {
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_directory()) {
            continue;
        }
        const std::string name = prefix + "-" + entry.path().filename().string();
        if (fs::exists(entry.path() / "srcsafe.ini") || fs::exists(entry.path() / "data")) {
            AddDatabaseFiles(corpora, name, entry.path());
        } else {
            AddFixtures(corpora, entry.path(), name);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s OUTPUT [FIXTURES]\n", argv[0]);
        return 1;
    }
    try {
        Corpora corpora(argv[1]);
        const fs::path scratch = fs::path(argv[1]) / ".scratch";
        fs::remove_all(scratch);
        WriteDatabases(scratch, corpora);
        fs::remove_all(scratch);
        AddTexts(corpora);
        AddDeltas(corpora);
        if (argc == 3 && fs::is_directory(argv[2])) {
            AddFixtures(corpora, argv[2], "fixture");
        }
        corpora.Report();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
        return 1;
    }
    return 0;
}
