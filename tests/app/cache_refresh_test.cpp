// The cache refresh: confirmation, forced recursive delete, success and warning messages.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/app_texts.h"
#include "app/cache_refresh.h"
#include "tests/app/app_fixture.h"

namespace zentro::testing {
namespace {

namespace fs = std::filesystem;
using platform::pathFromUtf8;

class CacheRefreshTest : public AppTest {
 protected:
  void SetUp() override {
    AppTest::SetUp();
    load();
  }
  fs::path product(const std::string& sub) const { return pathFromUtf8(rootFolder()) / sub; }
  void refresh(Answer answer) {
    view.answerNext(answer);
    guard->cmdRefresh_Click();
  }
};

TEST_F(CacheRefreshTest, CancelTouchesNothingAndNothingThereCountsAsRefreshed) {
  // A plain file named like a login-type folder is no cache: it stays.
  const std::string file = temp.write("config/Velmora/Velmora Zentro/BROKER", "not a folder");
  temp.write("config/Velmora/Velmora Zentro/CLIENT/App/a.dll", "x");
  refresh(Answer::Cancel);
  EXPECT_EQ(view.messageBoxCount(), 1);
  EXPECT_TRUE(view.journalHas("msgbox[OkCancel,None,'']: " + std::string(texts::kRefreshQuestion)));
  EXPECT_TRUE(fs::exists(product("CLIENT/App/a.dll")));

  fs::remove_all(product("CLIENT"));
  refresh(Answer::Ok);
  EXPECT_EQ(readFile(file), "not a folder");
  EXPECT_EQ(view.messageBoxCount(), 3);
  EXPECT_EQ(view.lastMessageBox().text, "VMI Zentro Cache successfully refreshed.");
}

TEST_F(CacheRefreshTest, RemovesBothTreesReadOnlyFilesIncludedButNothingElse) {
  const std::string outside = temp.write("outside/keep.txt", "keep");
  temp.write("config/Velmora/Velmora Zentro/CLIENT/App/sub/a.dll", "x");
  const std::string ro = temp.write("config/Velmora/Velmora Zentro/BROKER/B/INSTALL_1.txt", "s");
  fs::permissions(pathFromUtf8(ro), fs::perms::owner_read, fs::perm_options::replace);
  fs::permissions(product("BROKER/B"), fs::perms::owner_read | fs::perms::owner_exec,
                  fs::perm_options::replace);
  // Wine may offer no links: the read-only files are the Windows build's case then.
  const bool linked = makeLink(temp.file("outside"), rootFolder() + "/CLIENT/App/link");
  EXPECT_TRUE(linked || kWindows);
  refresh(Answer::Ok);
  EXPECT_EQ(view.lastMessageBox().text, texts::kRefreshDone);
  EXPECT_FALSE(fs::exists(product("BROKER")));
  EXPECT_FALSE(fs::exists(product("CLIENT")));
  EXPECT_TRUE(fs::exists(pathFromUtf8(outside)))
      << "a link out of the cache is removed, not followed";
  EXPECT_TRUE(fs::is_directory(product("Temp"))) << "the temp folder is not part of the cache";
}

TEST_F(CacheRefreshTest, AFileInUseLeavesAWarningButTheOtherTreeGoes) {
  const std::string held = temp.write("config/Velmora/Velmora Zentro/BROKER/B/app.exe", "x");
  temp.write("config/Velmora/Velmora Zentro/BROKER/B/other.dll", "y");
  temp.write("config/Velmora/Velmora Zentro/CLIENT/C/c.dll", "z");
  HeldFile holder(held);
  ASSERT_TRUE(holder.held());
  refresh(Answer::Ok);
  holder.release();
  EXPECT_EQ(view.lastMessageBox().text, texts::kRefreshFailed);
  EXPECT_TRUE(fs::exists(pathFromUtf8(held)));
  EXPECT_FALSE(fs::exists(product("BROKER/B/other.dll"))) << "what could go is gone";
  EXPECT_FALSE(fs::exists(product("CLIENT")));
}

TEST(DeleteFolderTree, TrailingSeparator) {
  TempDir dir;
  dir.write("tree/a/b.txt", "x");
  EXPECT_TRUE(DeleteFolderTree(dir.str() + "/tree/"));
  EXPECT_FALSE(fs::exists(dir.path() / "tree"));
}

}  // namespace
}  // namespace zentro::testing
