// srcsafe.ini: the parser on the bytes, then the lookups of the data and users' folders on
// the same bytes written as a file into a private folder that holds a data folder of each
// letter case.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz/scratch_folder.h"
#include "vssdb/error.h"
#include "vssdb/srcsafe_ini.h"

namespace {

namespace fs = std::filesystem;

// Holds a data folder in each letter case, and elsewhere.
class IniFolder {
  public:
    IniFolder() : folder_("varnotte-fuzz-ini-") {
        for (const char* data : {"data", "DATA/A", "Data/b", "other/data"}) {
            fs::create_directories(folder_.path() / data);
        }
        iniPath_ = (folder_.path() / "srcsafe.ini").string();
    }

    const std::string& Write(std::string_view text) const {
        folder_.Write("srcsafe.ini", text);
        return iniPath_;
    }

  private:
    varnotte::fuzz::ScratchFolder folder_;
    std::string iniPath_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const IniFolder folder;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const vssdb::SrcSafeIni ini = vssdb::ParseSrcSafeIni(text);
    ini.Get("Data_Path", "data");
    ini.Get("users_txt");
    const std::string& iniPath = folder.Write(text);
    try {
        vssdb::LocateDataFolder(iniPath);
    } catch (const vssdb::Error&) {
    }
    try {
        vssdb::LocateUsers(iniPath);
    } catch (const vssdb::Error&) {
    }
    return 0;
}
