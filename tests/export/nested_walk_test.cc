// The walk over a tree nested deeper than any real one: its rows, and no more stack than
// a small thread has.
#include <gtest/gtest.h>
#include <pthread.h>

#include <deque>
#include <functional>
#include <string>

#include "export/subtree_walk.h"
#include "sourcesafe/vss_database.h"
#include "testing/nested_database.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace sourcesafe;
using varnotte::SubtreeWalk;
using varnotte::WalkFlags;
using varnotte::WalkHost;

// Checks the rows of a walk over a nested database as they come, without keeping them
// (16,000 levels of rows hold 500 MB of specs), and the node each item is added under.
class NestedRowsHost : public WalkHost {
  public:
    explicit NestedRowsHost(int levels) : levels_(levels) {}

    // Nodes come before their item's rows: a project's node under the last project's.
    Node AddProjectNode(Node parent, const IVSSItem&) override {
        CheckParent(parent, level_);
        depths_.push_back(level_ + 1);
        return &depths_.back();
    }
    void AddFileNode(Node parent, const IVSSItem&) override { CheckParent(parent, level_); }
    void ShowStatus(const std::string&) override {}
    void ItemFailed(const std::string& spec, const VssError& error) override {
        Mismatch(spec + ": " + error.what());
    }
    void AddRow(std::string row) override {
        // Project k ("$/p/.../p", k names) holds f.txt and project k + 1; each added child
        // is a version of its project, and f.txt has two.
        std::string expected;
        if (!fileNext_) {
            ++level_;
            spec_ += spec_.empty() ? "$/p" : "/p";
            expected = "\"" + spec_ + "\",\"" + (level_ < levels_ ? "3" : "2") + "\"";
        } else {
            expected = "\"" + spec_ + "/f.txt\",\"2\"";
        }
        if (row != expected) {
            Mismatch("row " + std::to_string(rows) + " is " + row.substr(0, 80));
        }
        fileNext_ = !fileNext_;
        ++rows;
    }

    int rows = 0;
    std::string firstMismatch;

  private:
    void CheckParent(Node parent, int depth) {
        const int parentDepth = parent == nullptr ? 0 : *static_cast<int*>(parent);
        if (parentDepth != depth) {
            Mismatch("a node of level " + std::to_string(level_) + " under level " +
                     std::to_string(parentDepth));
        }
    }
    void Mismatch(const std::string& what) {
        if (firstMismatch.empty()) {
            firstMismatch = what;
        }
    }

    int levels_;
    int level_ = 0;
    bool fileNext_ = false;
    std::string spec_;
    std::deque<int> depths_;  // the nodes: each its level; a deque keeps them in place
};

// Runs `body` in a thread of its own with a stack of `bytes`.
void RunWithStack(std::size_t bytes, const std::function<void()>& body) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, bytes), 0);
    pthread_t thread;
    auto* call = const_cast<std::function<void()>*>(&body);
    ASSERT_EQ(pthread_create(
                  &thread, &attributes,
                  [](void* argument) -> void* {
                      (*static_cast<std::function<void()>*>(argument))();
                      return nullptr;
                  },
                  call),
              0);
    pthread_attr_destroy(&attributes);
    pthread_join(thread, nullptr);
}

// Depth costs the walk neither stack nor a second look-up from the root: 16,000 nested
// projects, exported from a thread with a stack of 1 MiB (a Windows thread's default).
TEST(NestedWalk, SixteenThousandLevelsInAOneMebibyteStack) {
    constexpr int kLevels = 16000;
    varnotte::test::TempDir dir;
    vsstest::WriteNestedDatabase(dir / "db", {.levels = kLevels, .nameLength = 1});
    NestedRowsHost host(kLevels);
    RunWithStack(1 << 20, [&] {
        IVSSDatabase db;
        ASSERT_EQ(CreateInstance(CLSID_VSSDatabase, CLSCTX_ALL_SERVERS, IID_IVSSDatabase6, db),
                  S_OK);
        db.Open((dir / "db" / "srcsafe.ini").string(), "Admin", "");
        const int firstExpand = 0, running = 1, confirmed = 1, history = 0;
        const WalkFlags flags{firstExpand, running, confirmed, history};
        EXPECT_TRUE(SubtreeWalk(db, flags, host).ExpandProject(nullptr, "$/"));
    });
    EXPECT_EQ(host.firstMismatch, "");
    EXPECT_EQ(host.rows, 2 * kLevels);
}

}  // namespace
