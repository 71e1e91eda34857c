// A whole small database, unpacked from one input (see database_bundle.h) into a private
// folder, opened through the automation layer and exported with history as varnotte-csv
// does, by default and as its fullest inventory (JSON Lines with deleted items and project
// histories), into a host that throws the rows away.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "export/json_lines_format.h"
#include "export/subtree_walk.h"
#include "fuzz/database_bundle.h"
#include "fuzz/scratch_folder.h"
#include "sourcesafe/vss_database.h"
#include "sourcesafe/vss_error.h"

namespace {

namespace fs = std::filesystem;
using varnotte::fuzz::kBundleSlots;

// The database folder of this process, rewritten for every input.
class DatabaseFolder {
  public:
    DatabaseFolder() : folder_("varnotte-fuzz-db-") {
        for (const char* letter : {"a", "b", "c", "d"}) {
            fs::create_directories(folder_.path() / "data" / letter);
        }
        folder_.Write("srcsafe.ini", "Data_Path = data\r\n");
        iniPath_ = (folder_.path() / "srcsafe.ini").string();
    }

    const std::string& Fill(const varnotte::fuzz::BundleFiles& files) const {
        for (std::size_t slot = 0; slot < files.size(); ++slot) {
            for (const char* path : {kBundleSlots[slot].path, kBundleSlots[slot].alternative}) {
                if (path == nullptr) {
                    continue;
                }
                if (files[slot]) {
                    folder_.Write(fs::path("data") / path, *files[slot]);
                } else {
                    folder_.Remove(fs::path("data") / path);
                }
            }
        }
        return iniPath_;
    }

  private:
    varnotte::fuzz::ScratchFolder folder_;
    std::string iniPath_;
};

class DiscardingHost : public varnotte::WalkHost {
  public:
    Node AddProjectNode(Node, const sourcesafe::IVSSItem&) override { return nullptr; }
    void AddFileNode(Node, const sourcesafe::IVSSItem&) override {}
    void ShowStatus(const std::string&) override {}
    void AddRow(std::string) override {}
    void ItemFailed(const std::string&, const sourcesafe::VssError&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const DatabaseFolder folder;
    const std::string& iniPath = folder.Fill(
        varnotte::fuzz::SplitBundle(std::string_view(reinterpret_cast<const char*>(data), size)));

    sourcesafe::IVSSDatabase database;
    if (sourcesafe::CreateInstance(sourcesafe::CLSID_VSSDatabase, sourcesafe::CLSCTX_ALL_SERVERS,
                                   sourcesafe::IID_IVSSDatabase6, database) != sourcesafe::S_OK) {
        std::abort();
    }
    std::string nodePath;
    try {
        database.Open(iniPath, "Admin", "");
        nodePath = database.VSSItem("$/").Spec();
    } catch (const sourcesafe::VssError&) {
        return 0;
    }
    const int firstExpand = 0;
    const int exportRunning = 1;
    const int exportConfirmed = 1;
    const int history = 1;
    const varnotte::WalkFlags flags{firstExpand, exportRunning, exportConfirmed, history};
    DiscardingHost host;
    varnotte::SubtreeWalk(database, flags, host).ExpandProject(nullptr, nodePath);
    varnotte::JsonLinesFormat json(varnotte::JsonLinesFormat::Options{.deletedField = true});
    varnotte::WalkOptions inventory;
    inventory.includeDeleted = true;
    inventory.projectHistory = true;
    inventory.format = &json;
    varnotte::SubtreeWalk(database, flags, host, inventory).ExpandProject(nullptr, nodePath);
    return 0;
}
