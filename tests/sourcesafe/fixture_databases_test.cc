// The automation objects over the real databases: logins, shapes, names and histories.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "sourcesafe/vss_database.h"
#include "sourcesafe/vss_error.h"
#include "tests/support/fixtures.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace sourcesafe;

IVSSDatabase NewDatabase() {
    IVSSDatabase db;
    EXPECT_EQ(CreateInstance(CLSID_VSSDatabase, CLSCTX_ALL_SERVERS, IID_IVSSDatabase6, db), S_OK);
    return db;
}

IVSSDatabase OpenFixture(const fs::path& fixture, const std::string& user = "Admin",
                         const std::string& password = "") {
    IVSSDatabase db = NewDatabase();
    db.Open((fixture / "srcsafe.ini").string(), user, password);
    return db;
}

HRESULT OpenResult(const fs::path& ini, const std::string& user, const std::string& password) {
    IVSSDatabase db = NewDatabase();
    try {
        db.Open(ini.string(), user, password);
        return S_OK;
    } catch (const VssError& error) {
        return error.code();
    }
}

HRESULT CodeOf(const std::function<void()>& call) {
    try {
        call();
        return S_OK;
    } catch (const VssError& error) {
        return error.code();
    }
}

// Sets an environment variable for one scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
            hadOld_ = true;
        }
        value != nullptr ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnv() { hadOld_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

  private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

struct LoginCase {
    const char* fixture;
    const char* user;
    const char* password;
    HRESULT expected;
};
void PrintTo(const LoginCase& c, std::ostream* os) {
    *os << c.fixture << " " << c.user << "/" << c.password;
}

class Login : public testing::TestWithParam<LoginCase> {};

INSTANTIATE_TEST_SUITE_P(
    RealUsers, Login,
    testing::Values(LoginCase{"shares-deletes", "Admin", "", S_OK},
                    LoginCase{"shares-deletes", "Dhaval", "dhaval", S_OK},
                    LoginCase{"shares-deletes", "dHAVAL", "DHAVAL",
                              S_OK},  // both are case-insensitive
                    LoginCase{"shares-deletes", "Dhaval", "", ESS_BAD_PASSWORD},
                    LoginCase{"shares-deletes", "Dhaval", "dhaval2", ESS_BAD_PASSWORD},
                    LoginCase{"shares-deletes", "Admin", "secret", ESS_BAD_PASSWORD},
                    LoginCase{"shares-deletes", "Nobody", "", ESS_USER_NOT_FOUND},
                    LoginCase{"edits-comments", "Raul", "raul", S_OK},
                    LoginCase{"small-edits", "Johnson", "pass", S_OK},
                    LoginCase{"small-edits", "JOHNSON", "PaSs", S_OK},
                    LoginCase{"empty-root", "hhc", "HHC", S_OK},
                    LoginCase{"empty-duplicate-user", "guest", "", S_OK},
                    LoginCase{"one-subproject", "anu", "", S_OK}),
    [](const testing::TestParamInfo<LoginCase>& info) {
        const std::string password = info.param.password;
        return std::string(info.param.user) + "_" + (password.empty() ? "empty" : password);
    });

TEST_P(Login, ChecksUserAndPassword) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, GetParam().fixture);
    EXPECT_EQ(OpenResult(fixture / "srcsafe.ini", GetParam().user, GetParam().password),
              GetParam().expected);
}

TEST(LoginDefaults, EmptyUserNameMeansTheLoginName) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "shares-deletes");
    {
        const ScopedEnv logname("LOGNAME", "guest");
        EXPECT_EQ(OpenResult(fixture / "srcsafe.ini", "", ""), S_OK);
    }
    {
        const ScopedEnv logname("LOGNAME", "someone-else");
        EXPECT_EQ(OpenResult(fixture / "srcsafe.ini", "", ""), ESS_USER_NOT_FOUND);
    }
}

TEST(OpenFailures, OldFormatMissingDataAndMissingIni) {
    VARNOTTE_REQUIRE_FIXTURE(old, "version5-template");
    VARNOTTE_REQUIRE_FIXTURE(iniOnly, "ini-only");
    EXPECT_EQ(OpenResult(old / "srcsafe.ini", "Admin", ""), ESS_INCOMPATIBLE_DATABASE);
    for (const char* name : {"DefaultWeb", "HODS", "ILingual", "fromVSsynchro"}) {
        const fs::path ini = iniOnly / name / "srcsafe.ini";
        IVSSDatabase db = NewDatabase();
        try {
            db.Open(ini.string(), "Admin", "");
            ADD_FAILURE() << name << " opened";
        } catch (const VssError& error) {
            EXPECT_EQ(error.code(), E_FILE_NOT_FOUND_RESULT) << name;
            EXPECT_NE(std::string(error.what()).find(ini.string()), std::string::npos)
                << error.what();
        }
    }
    EXPECT_EQ(OpenResult(iniOnly / "tableGZL" / "srcsafe.ini", "Admin", ""),
              E_FILE_NOT_FOUND_RESULT);
}

TEST(OpenFailures, DatabaseWithoutIniOpensThroughOneWrittenBesideIt) {
    VARNOTTE_REQUIRE_FIXTURE(noIni, "no-ini");
    varnotte::test::TempDir dir;
    std::ofstream(dir / "srcsafe.ini") << "Data_Path = " << (noIni / "data").string() << "\n";
    IVSSDatabase db = NewDatabase();
    db.Open((dir / "srcsafe.ini").string(), "Admin", "");
    EXPECT_EQ(db.VSSItem("$/").Items().Count(), 0);
}

struct Shape {
    const char* fixture;
    int projects;  // below the root
    int files;     // every place a file is reached, shares included
    int fileVersions;
    // Files whose versions cannot be read.
    int unreadableFiles = 0;
    // Items shown under the short form their entry stores: edits-comments lacks the
    // names.dat that 52 of its file entries point into.
    int uncertainNames = 0;
};
void PrintTo(const Shape& c, std::ostream* os) {
    *os << c.fixture;
}

class DatabaseShape : public testing::TestWithParam<Shape> {};

// Counted independently of this reader, by walking the child lists and version chains of
// each database by hand.
INSTANTIATE_TEST_SUITE_P(
    RealDatabases, DatabaseShape,
    testing::Values(Shape{"shares-deletes", 60, 375, 588},
                    Shape{"edits-comments", 7, 84, 270, 0, 52}, Shape{"label-big5-ini", 5, 32, 35},
                    Shape{"client-clutter", 12, 21, 21}, Shape{"small-edits", 1, 2, 5},
                    Shape{"one-subproject", 1, 0, 0}, Shape{"empty-root", 0, 0, 0},
                    Shape{"empty-root-2", 0, 0, 0}, Shape{"empty-duplicate-user", 0, 0, 0}),
    [](const testing::TestParamInfo<Shape>& info) {
        std::string name = info.param.fixture;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

void CountBelow(const IVSSItem& project, Shape& shape) {
    const IVSSItems items = project.Items(false);
    for (int i = 1; i <= items.Count(); ++i) {
        const IVSSItem child = items.Item(i);
        if (child.UncertainName() != nullptr) {
            ++shape.uncertainNames;
        }
        if (child.Type() == VSSITEM_PROJECT) {
            ++shape.projects;
            CountBelow(child, shape);
            continue;
        }
        IVSSVersions all;
        try {
            all = child.Versions();
        } catch (const VssError& error) {
            EXPECT_EQ(error.code(), ESS_FILE_CORRUPT) << error.what();
            ++shape.unreadableFiles;
            continue;
        }
        ++shape.files;
        auto versions = all.NewEnum();
        IVSSVersion version;
        int expected = child.VersionNumber();
        while (versions.Next(version)) {
            EXPECT_EQ(version.VersionNumber(), expected--)
                << child.Spec() << ": versions newest first, contiguous";
            ++shape.fileVersions;
        }
        EXPECT_EQ(expected, 0) << child.Spec();
    }
}

TEST_P(DatabaseShape, CountsProjectsFilesVersions) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, GetParam().fixture);
    const IVSSDatabase db = OpenFixture(fixture, "Guest");
    Shape counted{GetParam().fixture, 0, 0, 0};
    CountBelow(db.VSSItem("$/"), counted);
    EXPECT_EQ(counted.projects, GetParam().projects);
    EXPECT_EQ(counted.files, GetParam().files);
    EXPECT_EQ(counted.fileVersions, GetParam().fileVersions);
    EXPECT_EQ(counted.unreadableFiles, GetParam().unreadableFiles);
    EXPECT_EQ(counted.uncertainNames, GetParam().uncertainNames);
}

// Every entry, deleted ones too, agrees with the log it leads to: its name, its project's
// place for a subproject, the parent records of a file (shares included). Items whose
// names cannot be read are left out here.
void ExpectEntriesAgree(const IVSSItem& project, int& checked) {
    const IVSSItems items = project.Items(true);
    for (int i = 1; i <= items.Count(); ++i) {
        const IVSSItem child = items.Item(i);
        try {
            EXPECT_FALSE(child.EntryDisagreement()) << child.Spec();
            ++checked;
        } catch (const VssError& error) {
            EXPECT_EQ(error.code(), ESS_FILE_CORRUPT) << error.what();
            continue;
        }
        if (child.Type() == VSSITEM_PROJECT) {
            ExpectEntriesAgree(child, checked);
        }
    }
}

TEST_P(DatabaseShape, EveryEntryAgreesWithItsItem) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, GetParam().fixture);
    const IVSSDatabase db = OpenFixture(fixture, "Guest");
    int checked = 0;
    ExpectEntriesAgree(db.VSSItem("$/"), checked);
    EXPECT_GE(checked, GetParam().projects + GetParam().files);
}

TEST(Specs, RootAndTrailingSlashes) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "shares-deletes");
    const IVSSDatabase db = OpenFixture(fixture);
    for (const char* spec : {"$/", "$//", "$"}) {
        const IVSSItem root = db.VSSItem(spec);
        EXPECT_EQ(root.Spec(), "$/") << spec;
        EXPECT_EQ(root.Name(), "") << spec;
        EXPECT_EQ(root.Type(), VSSITEM_PROJECT);
        EXPECT_EQ(root.VersionNumber(), 2);
    }
    const IVSSItem project = db.VSSItem("$/invetory shaili/");
    EXPECT_EQ(project.Spec(), "$/Invetory Shaili");
    EXPECT_EQ(project.Name(), "Invetory Shaili");
    EXPECT_EQ(project.VersionNumber(), 41);  // its own versions; file check-ins do not count
    EXPECT_EQ(CodeOf([&] { db.VSSItem("$/No Such Project"); }), ESS_ITEM_NOT_FOUND);
    EXPECT_EQ(CodeOf([&] { db.VSSItem("Invetory Shaili"); }), ESS_ITEM_NOT_FOUND);
    EXPECT_EQ(CodeOf([&] { db.VSSItem("$/Invetory Shaili/Docsvault SB 6.0.sln/x"); }),
              ESS_ITEM_NOT_FOUND);
}

TEST(Names, LongNamesKeepTheirSpaces) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "shares-deletes");
    const IVSSDatabase db = OpenFixture(fixture);
    const IVSSItem file = db.VSSItem("$/Invetory Shaili/Docsvault SB/Docsvault SB 6.0.vbproj");
    EXPECT_EQ(file.Name(), "Docsvault SB 6.0.vbproj");
    EXPECT_EQ(file.Spec(), "$/Invetory Shaili/Docsvault SB/Docsvault SB 6.0.vbproj");
    const IVSSItems children = db.VSSItem("$/Invetory Shaili").Items();
    std::vector<std::string> names;
    for (int i = 1; i <= children.Count(); ++i) {
        names.push_back(children.Item(i).Name());
    }
    // The short name field has underscores for spaces; real underscores stay.
    EXPECT_NE(std::find(names.begin(), names.end(), "Email Capture Service"), names.end());
    EXPECT_EQ(std::find(names.begin(), names.end(), "Email_Capture_Service"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "WF_Email Service"), names.end());
}

TEST(Deletes, DeletedItemsAreLeftOutUnlessAskedFor) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "shares-deletes");
    const IVSSDatabase db = OpenFixture(fixture);
    const IVSSItem project = db.VSSItem("$/Invetory Shaili/64bitApp");
    const IVSSItems live = project.Items(false);
    const IVSSItems all = project.Items(true);
    ASSERT_EQ(live.Count(), 2);
    ASSERT_EQ(all.Count(), 3);
    bool sawDeleted = false;
    for (int i = 1; i <= all.Count(); ++i) {
        sawDeleted = sawDeleted || all.Item(i).Name().rfind("~sak", 0) == 0;
    }
    EXPECT_TRUE(sawDeleted);
    EXPECT_EQ(CodeOf([&] { db.VSSItem("$/Invetory Shaili/64bitApp/~sak082e066b01d1672d.vbproj"); }),
              ESS_ITEM_NOT_FOUND);
}

TEST(Shares, SharedFileIsReachedWhereItLives) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "shares-deletes");
    const IVSSDatabase db = OpenFixture(fixture);
    const std::string base =
        "$/Invetory Shaili/Inventory Shaili/Software Projects/Invetory Shaili 2015/Inventory "
        "Shaili";
    // Shared into "Finish Goods", then deleted from where it came from.
    const IVSSItem shared = db.VSSItem(base + "/Finish Goods/frmfgmaster.vb");
    EXPECT_EQ(shared.Spec(), base + "/Finish Goods/frmfgmaster.vb");
    EXPECT_EQ(CodeOf([&] { db.VSSItem(base + "/frmfgmaster.vb"); }), ESS_ITEM_NOT_FOUND);

    // The project log tells of the share with the file's full spec.
    auto versions = db.VSSItem(base + "/Finish Goods").Versions().NewEnum();
    IVSSVersion version;
    std::vector<std::string> actions;
    while (versions.Next(version)) {
        actions.push_back(version.Action());
    }
    EXPECT_NE(std::find(actions.begin(), actions.end(), "Shared " + base + "/frmfgmaster.vb"),
              actions.end());
}

TEST(Labels, ProjectLabelIsAVersionOfItsOwn) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "label-big5-ini");
    const IVSSDatabase db = OpenFixture(fixture, "Guest");
    const IVSSItem project = db.VSSItem("$/Eagent.root/Eagent");
    EXPECT_EQ(project.VersionNumber(), 18);
    auto versions = project.Versions().NewEnum();
    IVSSVersion newest;
    ASSERT_TRUE(versions.Next(newest));
    EXPECT_EQ(newest.VersionNumber(), 18);
    EXPECT_EQ(newest.Action(), "Labeled '20160520'");
    EXPECT_EQ(newest.Label(), "20160520");
    EXPECT_EQ(newest.Username(), "Alex");
    EXPECT_EQ(newest.Comment(), "");
    IVSSVersion previous;
    ASSERT_TRUE(versions.Next(previous));
    EXPECT_EQ(previous.VersionNumber(), 17);
    EXPECT_EQ(previous.Action().rfind("Added ", 0), 0u) << previous.Action();
}

TEST(Versions, FieldsOfACheckIn) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "small-edits");
    const IVSSDatabase db = OpenFixture(fixture);
    auto versions = db.VSSItem("$/esign-java-authenticator/clingBling.txt").Versions().NewEnum();
    IVSSVersion v;
    ASSERT_TRUE(versions.Next(v));
    EXPECT_EQ(v.VersionNumber(), 3);
    EXPECT_EQ(v.Username(), "Johnson");
    EXPECT_EQ(v.Action(), "Checked in $/esign-java-authenticator");
    EXPECT_EQ(v.Comment(), "I want to make changes");
    // 2023-05-09 19:46:16 as stored, whatever the machine's time zone.
    const double expected = 45055.0 + (19 * 3600 + 46 * 60 + 16) / 86400.0;
    for (const char* tz : {"UTC", "Asia/Tokyo", "America/New_York"}) {
        const ScopedEnv zone("TZ", tz);
        tzset();
        EXPECT_NEAR(v.Date(), expected, 0.5 / 86400.0) << tz;
    }
    tzset();
    IVSSVersion first;
    ASSERT_TRUE(versions.Next(first));
    ASSERT_TRUE(versions.Next(first));
    EXPECT_EQ(first.VersionNumber(), 1);
    EXPECT_EQ(first.Action(), "Created");
    EXPECT_FALSE(versions.Next(first));
}

TEST(Versions, CommentLineBreaksBecomeLineFeeds) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "edits-comments");
    const IVSSDatabase db = OpenFixture(fixture);
    auto versions = db.VSSItem("$/Widgie/Widgie.h").Versions().NewEnum();
    IVSSVersion v;
    do {
        ASSERT_TRUE(versions.Next(v));
    } while (v.VersionNumber() != 3);
    EXPECT_EQ(v.Comment(),
              "* full support for MDID Logins\n* full support for slideshow downloads\n"
              "* full support for slide downloads and video downloads");
}

TEST(Holders, EmptyHoldersAndUnopenedDatabasesRaise) {
    EXPECT_EQ(CodeOf([] { IVSSDatabase().Open("x", "", ""); }), E_POINTER_RESULT);
    EXPECT_EQ(CodeOf([] { IVSSItem().Spec(); }), E_POINTER_RESULT);
    EXPECT_EQ(CodeOf([] { IVSSItems().Count(); }), E_POINTER_RESULT);
    EXPECT_EQ(CodeOf([] { IVSSVersion().Comment(); }), E_POINTER_RESULT);
    EXPECT_EQ(CodeOf([] { IVSSVersions().NewEnum(); }), E_POINTER_RESULT);
    const IVSSDatabase unopened = NewDatabase();
    EXPECT_EQ(CodeOf([&] { unopened.VSSItem("$/"); }), E_UNEXPECTED_RESULT);
}

TEST(Holders, CreationAnswersForKnownClassAndInterfacesOnly) {
    IVSSDatabase db;
    EXPECT_EQ(CreateInstance(CLSID_VSSDatabase, CLSCTX_ALL_SERVERS, IID_IVSSDatabase, db), S_OK);
    EXPECT_EQ(db.InterfaceId(), IID_IVSSDatabase);
    EXPECT_EQ(CreateInstance(IID_IVSSItem, CLSCTX_ALL_SERVERS, IID_IVSSDatabase6, db),
              CLASS_E_CLASSNOTAVAILABLE_RESULT);
    EXPECT_TRUE(db.IsEmpty());
    EXPECT_EQ(CreateInstance(CLSID_VSSDatabase, CLSCTX_ALL_SERVERS, IID_IVSSItem, db),
              E_NOINTERFACE_RESULT);
    EXPECT_EQ(CLSID_VSSDatabase.ToString(), "{783CD4E4-9D54-11CF-B8EE-00608CC9A71F}");
    EXPECT_EQ(IID_IVSSVersion6.ToString(), "{2A0DE0E9-2E9F-11D0-9236-00AA00A1EB95}");
}

TEST(Holders, CollectionIndexesRunFromOne) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "small-edits");
    const IVSSItems items = OpenFixture(fixture).VSSItem("$/").Items();
    ASSERT_EQ(items.Count(), 1);
    EXPECT_EQ(items.Item(1).Spec(), "$/esign-java-authenticator");
    EXPECT_EQ(CodeOf([&] { items.Item(0); }), DISP_E_BADINDEX_RESULT);
    EXPECT_EQ(CodeOf([&] { items.Item(2); }), DISP_E_BADINDEX_RESULT);
}

TEST(Holders, ItemsOutliveTheirDatabaseHolder) {
    VARNOTTE_REQUIRE_FIXTURE(fixture, "small-edits");
    IVSSItem project;
    {
        IVSSDatabase db = OpenFixture(fixture);
        project = db.VSSItem("$/esign-java-authenticator");
        db.Release();
    }
    EXPECT_EQ(project.Items().Count(), 2);
}

}  // namespace
