// SAVE and LOAD on a real disk, in a fresh folder each time. Flags (chattr) need a file system
// that keeps them, and some need root: the case that sets them says so and stops where it can't.
#include "supplyfile.h"

#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

using namespace segno;
namespace fs = std::filesystem;

namespace {

using Names = std::set<std::string>;

std::string contents(const fs::path& file) {
  return (std::stringstream() << std::ifstream(file).rdbuf()).str();
}

struct stat about(const fs::path& file) {
  struct stat info {};
  ::stat(file.c_str(), &info);
  return info;
}

// Gives a file or folder these flags (chattr) and no others; whether the file system took them.
bool setFlags(const fs::path& path, unsigned flags) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  const bool set = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  ::close(fd);
  return set;
}

// A sync that fails with `error` at its n-th call, or kills the saver there when `error` is 0;
// the others are real.
SaveSeams syncFailingAt(int n, int error) {
  return {.sync = [n, error, calls = 0](int fd) mutable {
    if (++calls != n) return ::fsync(fd);
    if (error == 0) std::raise(SIGKILL);
    errno = error;
    return -1;
  }};
}

// A fresh folder for the program that `link` names, with a sample "I" to save.
class SupplyFile : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(folder);
    fs::create_symlink(folder / "segno", top / "link");
    program.emplace((top / "link").string());
    state.net.sampleLabels = {"I"};
    state.net.neuronLabels = {"I"};
  }
  void TearDown() override {
    setFlags(folder, 0);
    fs::remove_all(top);
  }

  // Why LOAD failed, or "loaded".
  std::string load() {
    FormState loaded;
    const Result<> outcome = loadSupply(loaded, *program);
    return outcome.ok() ? "loaded" : outcome.reason();
  }
  // What SAVE has to say: the reason of a failure, or the remark of a SAVE.
  std::string save(const SaveSeams& seams = {}) {
    const Result<Replaced> saved = saveSupply(state, *program, seams);
    return saved.ok() ? saved.value().remark : saved.reason();
  }
  // The same in a process of its own, or "killed".
  std::string saveApart(const SaveSeams& seams) {
    if (::fork() == 0) {
      std::ofstream(top / "said") << save(seams);
      ::_exit(0);
    }
    int status = 0;
    ::wait(&status);
    return WIFSIGNALED(status) ? "killed" : contents(top / "said");
  }
  Names names() const {
    Names found;
    for (const auto& entry : fs::directory_iterator(folder)) found.insert(entry.path().filename());
    return found;
  }
  std::string text() const { return writeSampleFile(state.net).value(); }

  fs::path top = ::mkdtemp((fs::temp_directory_path() / "segno-XXXXXX").string().data());
  fs::path folder = top / "program";
  fs::path supply = folder / "supply.txt";
  FormState state;
  std::optional<ProgramFolder> program;
};

}  // namespace

TEST_F(SupplyFile, SaveAndLoadTakeOnlyARegularFileWhereTheSystemLeads) {
  EXPECT_EQ(load(), "Impossibile caricare supply.txt: file mancante o illeggibile");
  fs::create_directories(supply / "kept");
  EXPECT_EQ(save(), "Impossibile salvare supply.txt: supply.txt è una cartella");
  fs::remove_all(supply);
  ASSERT_EQ(::mkfifo((top / "fifo").c_str(), 0600), 0);
  for (const fs::path& special : {top / "fifo", fs::path("/proc/self/comm")}) {
    fs::create_symlink(special, supply);
    EXPECT_EQ(save(), "Impossibile salvare supply.txt: non è un file regolare");
    EXPECT_EQ(load(), "Impossibile caricare supply.txt: non è un file regolare");
    fs::remove(supply);
  }
  // A link to a file yet to be made: SAVE makes it and writes there, and the link stays.
  fs::create_symlink(top / "elsewhere", supply);
  EXPECT_EQ(save(), "");
  EXPECT_EQ(contents(top / "elsewhere"), text());
  EXPECT_EQ(load(), "loaded");
  EXPECT_TRUE(fs::is_symlink(supply));
}

TEST_F(SupplyFile, AFailedSaveLeavesTheOldFileWholeAndRemovesOnlyWhatSavesKilledHalfWayLeft) {
  ASSERT_EQ(save(), "");
  const std::string old = contents(supply);
  state.net.neuronLabels.push_back("L");
  EXPECT_EQ(save(syncFailingAt(1, ENOSPC)), "Impossibile salvare supply.txt: disco pieno");
  EXPECT_EQ(names(), Names{"supply.txt"});
  EXPECT_EQ(contents(supply), old);
  // The folder, synced after the rename, cannot be: saved, and said.
  EXPECT_EQ(save(syncFailingAt(2, EIO)),
            "supply.txt salvato, ma la cartella non è stata sincronizzata sul disco "
            "(Input/output error)");
  const auto killedSave = [&] {  // killed just before the rename: what it left
    const Names before = names();
    EXPECT_EQ(saveApart({.beforeRename = [] { std::raise(SIGKILL); }}), "killed");
    Names left = names();
    std::erase_if(left, [&](const std::string& name) { return before.contains(name); });
    return left.size() == 1 ? folder / *left.begin() : top;
  };
  // A leftover that a running process holds, as a SAVE in another window holds its own.
  const fs::path held = killedSave();
  const int holder = ::open(held.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(holder, LOCK_SH), 0);
  killedSave();  // the second one's clean-up must leave the first
  std::ofstream(folder / "supply.txt.saving-backup");  // the user's own
  // A SAVE whose rename fails still removes what killed SAVEs left, and its own file.
  const SaveSeams folderInTheWay{.beforeRename = [this] { fs::create_directories(supply / "x"); }};
  fs::remove(supply);
  EXPECT_EQ(save(folderInTheWay),
            "Impossibile salvare supply.txt: scrittura non riuscita (Is a directory)");
  EXPECT_EQ(names(), (Names{"supply.txt", held.filename(), "supply.txt.saving-backup"}));
  ::close(holder);
}

TEST_F(SupplyFile, WritingIntoTheFileLeavesTheOldSamplesTheNewOnesOrAFileLoadRefuses) {
  ASSERT_EQ(save(), "");
  const std::string old = contents(supply);
  fs::create_hard_link(supply, top / "other name");  // a file with two names is written into
  state.net.sampleLabels = {"L", "I"};
  for (const bool kill : {true, false}) {
    for (int call = 1; call <= 3; ++call) {  // a kill, or an error, at each sync
      SCOPED_TRACE(testing::Message() << "sync " << call << (kill ? " killed" : " failed"));
      std::ofstream(supply) << old;
      EXPECT_EQ(saveApart(syncFailingAt(call, kill ? 0 : EIO)),
                kill ? "killed"
                     : "Impossibile salvare supply.txt: scrittura interrotta a metà; supply.txt "
                       "contiene i nuovi campioni, oppure LOAD lo rifiuterà finché un SAVE non "
                       "riesce (Input/output error)");
      EXPECT_TRUE(contents(supply) == old || contents(supply) == text() || load() != "loaded");
    }
  }
  EXPECT_EQ(save(), "");
  const std::string saved = contents(top / "other name");
  EXPECT_EQ(saved, text());
  EXPECT_EQ(names(), Names{"supply.txt"});
  // A lock held by another SAVE or LOAD: SAVE waits, then gives up and changes nothing.
  const int reader = ::open(supply.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(reader, LOCK_SH), 0);
  state.net.sampleLabels = {"I"};
  EXPECT_EQ(save(), "Impossibile salvare supply.txt: file in uso da un altro programma");
  EXPECT_EQ(contents(supply), saved);
  ASSERT_EQ(::flock(reader, LOCK_EX), 0);
  EXPECT_EQ(load(), "Impossibile caricare supply.txt: file in uso da un altro programma");
  ::close(reader);
}

TEST_F(SupplyFile, SaveWritesIntoAFileWithAttributesOrFlagsAndLeavesNothingInAFolderKeepingNames) {
  ASSERT_EQ(save(), "");
  const ino_t number = about(supply).st_ino;
  ASSERT_EQ(::setxattr(supply.c_str(), "user.origin", "class", 5, 0), 0);
  EXPECT_EQ(save(), "");
  EXPECT_EQ(about(supply).st_ino, number);  // written into, so the attribute stays
  ASSERT_EQ(::removexattr(supply.c_str(), "user.origin"), 0);
  if (!setFlags(supply, FS_NODUMP_FL)) GTEST_SKIP() << "the file system keeps no flags";
  EXPECT_EQ(save(), "");
  EXPECT_EQ(about(supply).st_ino, number);  // written into, so the flag stays
  if (!setFlags(supply, FS_IMMUTABLE_FL)) GTEST_SKIP() << "only root may make a file immutable";
  EXPECT_EQ(save(), "Impossibile salvare supply.txt: file protetto da scrittura");
  setFlags(supply, 0);
  // An append-only folder, with a file and without: nothing beside supply.txt afterwards.
  setFlags(folder, FS_APPEND_FL);
  EXPECT_EQ(save(), "");
  setFlags(folder, 0);
  fs::remove(supply);
  setFlags(folder, FS_APPEND_FL);
  EXPECT_EQ(save(), "");
  EXPECT_EQ(names(), Names{"supply.txt"});
  EXPECT_EQ(contents(supply), text());
}
