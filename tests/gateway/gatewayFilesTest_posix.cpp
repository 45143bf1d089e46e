// The gateway's files are its user's alone from the moment they exist, whatever the umask.
#include "gateway/gatewayFiles.h"
#include "gateway/gatewayStore.h"
#include "gateway/gatewayUpstream.h"
#include "tempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace quorvel::gateway {
namespace {

using test::TempDir;

// Runs the test under the most permissive umask, where only the gateway's
// own open and mkdir modes keep files private.
class PrivateFiles : public ::testing::Test {
protected:
  void SetUp() override { saved_ = ::umask(0); }
  void TearDown() override { ::umask(saved_); }

  static mode_t mode(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
  }
  static std::string contents(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void write(const std::string& path, const std::string& text, mode_t m) {
    std::ofstream(path) << text;
    ::chmod(path.c_str(), m);
  }

  TempDir dir_;

private:
  mode_t saved_ = 022;
};

TEST_F(PrivateFiles, StoreFoldersDatabaseAndCompanionsAreTheOwnersFromTheStart) {
  const std::string store = dir_.file("a/b/gateway.sqlite");
  GatewayStore open(store);
  open.addAccount("ann", "x", Balance{false, 1});
  // While the store is open its write-ahead log and index exist.
  for (const std::string& file : {store, store + "-wal", store + "-shm"}) EXPECT_EQ(mode(file), 0600u) << file;
  for (const std::string& folder : {dir_.file("a"), dir_.file("a/b")}) EXPECT_EQ(mode(folder), 0700u) << folder;
}

TEST_F(PrivateFiles, AStoreLeftReadableByEarlierVersionsIsTightened) {
  const std::string store = dir_.file("gateway.sqlite");
  ::chmod(dir_.file("").c_str(), 0755);  // a shared folder such as /srv
  { GatewayStore made(store); }
  ::chmod(store.c_str(), 0644);
  write(store + "-shm", "", 0644);  // as a crashed earlier gateway could leave it
  GatewayStore reopened(store);
  EXPECT_EQ(mode(store), 0600u);
  EXPECT_EQ(mode(store + "-shm"), 0600u);
  EXPECT_EQ(mode(dir_.file("")), 0755u) << "a folder that existed is left alone";
}

TEST_F(PrivateFiles, UpstreamSettingsAreWrittenPrivatelyAndWhole) {
  const std::string conf = upstreamConfigPath(dir_.file("new/gateway.sqlite"));
  UpstreamConfig kannel;
  kannel.kind = "kannel";
  kannel.url = "http://127.0.0.1:13013/cgi-bin/sendsms";
  kannel.user = "quorvel";
  kannel.password = "secret";
  saveUpstreamConfig(conf, kannel);
  EXPECT_EQ(mode(conf), 0600u);
  EXPECT_EQ(mode(dir_.file("new")), 0700u);
  EXPECT_EQ(loadUpstreamConfig(conf).password, "secret");
  EXPECT_FALSE(std::filesystem::exists(conf + ".new"));

  // A stale temporary from a crash is replaced, not written through.
  write(conf + ".new", "upstream = store\n", 0644);
  kannel.password = "other";
  saveUpstreamConfig(conf, kannel);
  EXPECT_EQ(loadUpstreamConfig(conf).password, "other");
  EXPECT_EQ(mode(conf), 0600u);
}

TEST_F(PrivateFiles, AFailedWriteLeavesTheOldFileAsItWas) {
  const std::string file = dir_.file("upstream.conf");
  writePrivateFile(file, "upstream = store\n");
  // The temporary's name taken by something that is not ours to remove.
  std::filesystem::create_directory(file + ".new");
  EXPECT_THROW(writePrivateFile(file, "upstream = kannel\n"), PrivateFileError);
  EXPECT_EQ(contents(file), "upstream = store\n");
}

} // namespace
} // namespace quorvel::gateway
