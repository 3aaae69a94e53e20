// SAVE and LOAD on a real disk, in a fresh folder each time. Cases that need ordinary users
// make their own by switching to unused ids, which only root may do.
#include "supplyfile.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

using namespace segno;
namespace fs = std::filesystem;

namespace {

// Alice and Bob are each in a group of their own id, and in kTeam: ids no one here has.
constexpr unsigned kAlice = 20001, kBob = 20002, kTeam = 20000;
using Names = std::set<std::string>;
using Owner = std::tuple<uid_t, gid_t, mode_t>;  // and the mode

std::string contents(const fs::path& file) {
  return (std::stringstream() << std::ifstream(file).rdbuf()).str();
}

struct stat about(const fs::path& file) {
  struct stat info {};
  return ::stat(file.c_str(), &info), info;
}

// A fresh folder for the program that `link` names, with a sample "I" to save.
class SupplyFile : public testing::Test {
 protected:
  void SetUp() override {
    fs::permissions(top, fs::perms(0755));
    fs::create_directory(folder);
    fs::create_symlink(folder / "segno", top / "link");
    program.emplace((top / "link").string());
    state.net.sampleLabels = state.net.neuronLabels = {"I"};
  }
  void TearDown() override { fs::remove_all(top); }

  // Why LOAD failed. Every LOAD here must fail: one that loads throws, and fails the test.
  std::string load() { return loadSupply(state, *program).reason(); }
  // What SAVE has to say: the reason of a failure, or the remark of a SAVE.
  std::string save(const SaveSeams& seams = {}) {
    const Result<Replaced> saved = saveSupply(state, *program, seams);
    return saved.ok() ? saved.value().remark : saved.reason();
  }
  // The same in a process of its own run by `user` (0: this one), or "killed".
  std::string saveAs(uid_t user, const SaveSeams& seams = {}) {
    std::ofstream said(top / "said");  // opened before the switch, for any user to write
    if (::fork() == 0) {
      const bool other = user != 0 && (::setgroups(1, &kTeam) || ::setgid(user) || ::setuid(user));
      said << (other ? "not switched" : save(seams)) << std::flush;
      ::_exit(0);
    }
    int status = 0;
    return ::wait(&status), WIFSIGNALED(status) ? "killed" : contents(top / "said");
  }
  Names names() const {
    Names found;
    for (const auto& entry : fs::directory_iterator(folder)) found.insert(entry.path().filename());
    return found;
  }
  std::string text() const { return writeSampleFile(state.net).value(); }

  fs::path top = ::mkdtemp((fs::temp_directory_path() / "segno-XXXXXX").string().data());
  fs::path folder = top / "program", supply = folder / "supply.txt";
  FormState state;
  std::optional<ProgramFolder> program;
};

// Stops a SAVE that would write its named file otherwise than through a descriptor opened
// again by the final name, which alone is non-blocking: FAT over FUSE misplaces what is written
// to a file renamed while open.
void checkWrittenThroughFinalName() {
  for (int fd = 3; fd < 100; ++fd)
    if (std::max(::fcntl(fd, F_GETFL), 0) & O_NONBLOCK) return;
  std::abort();
}

// SAVE on a file system without unnamed files, as vfat and NFS are.
const SaveSeams kNamed{.openUnnamed = [](int, mode_t) { return errno = EOPNOTSUPP, -1; },
                       .beforeRename = checkWrittenThroughFinalName};

// Whether users other than root may reach `dir` (a chroot's own root may not let them).
bool othersReach(const fs::path& dir) {
  return (about(dir).st_mode & S_IXOTH) && (dir == "/" || othersReach(dir.parent_path()));
}

}  // namespace

TEST_F(SupplyFile, AFailedWriteLeavesTheOldFileWholeAndNothingBesideIt) {
  ASSERT_EQ(save(), "");
  const std::string old = contents(supply);
  state.net.neuronLabels.push_back("L");
  rlimit kept{};
  ::getrlimit(RLIMIT_FSIZE, &kept);
  const rlimit limit{100, kept.rlim_max};
  // A write past the size limit then fails, as on a full disk.
  std::signal(SIGXFSZ, SIG_IGN), ::setrlimit(RLIMIT_FSIZE, &limit);
  for (const SaveSeams& seams : {SaveSeams(), kNamed})
    EXPECT_EQ(save(seams),
              "Impossibile salvare supply.txt: scrittura non riuscita (File too large)");
  ::setrlimit(RLIMIT_FSIZE, &kept);
  // The disk refuses the new file.
  for (const auto& why : {std::pair(ENOSPC, "disco pieno"),
                          {EROFS, "file system di sola lettura"},
                          {ENOENT, "cartella del programma non trovata"}})
    EXPECT_EQ(save({.openUnnamed = [&](int, mode_t) { return errno = why.first, -1; }}),
              "Impossibile salvare supply.txt: " + std::string(why.second));
  EXPECT_EQ(std::tuple(names(), contents(supply)), std::tuple(Names{"supply.txt"}, old));
}

TEST_F(SupplyFile, SaveAndLoadTakeOnlyARegularFileAndReadNoMoreThanTheyNeed) {
  EXPECT_EQ(load(), "Impossibile caricare supply.txt: file mancante o illeggibile");
  fs::create_directories(supply / "kept");
  EXPECT_EQ(save(), "Impossibile salvare supply.txt: supply.txt è una cartella");
  fs::remove_all(supply);
  ASSERT_EQ(::mkfifo((top / "fifo").c_str(), 0600), 0);
  fs::create_symlink(top / "fifo", supply);
  EXPECT_EQ(save(), "Impossibile salvare supply.txt: non è un file regolare");
  EXPECT_EQ(load(), "Impossibile caricare supply.txt: non è un file regolare");
  fs::remove(supply);
  ASSERT_EQ(::mknod(supply.c_str(), S_IFSOCK | 0600, 0), 0);
  EXPECT_EQ(load(), "Impossibile caricare supply.txt: non è un file regolare");
  fs::remove(supply), std::ofstream(supply) << std::string(100, 'x');
  EXPECT_EQ(readRegularFile(program->handle().value(), "supply.txt", 10).value().size(), 11u);
  EXPECT_EQ(load(), "Impossibile caricare supply.txt: valore non valido (record 1, campo 1)");
  const std::string longName(240, 'n');  // no room for a number after it
  fs::remove(supply), fs::create_symlink(longName, supply), std::ofstream(folder / longName);
  for (const SaveSeams& seams : {SaveSeams(), kNamed}) EXPECT_NE(save(seams), "");
  EXPECT_EQ(names(), (Names{"supply.txt", longName}));  // and nothing beside them
  fs::create_symlink("/segno", top / "root"), program.emplace(top / "root");  // in the root folder
  EXPECT_EQ(load(), "Impossibile caricare supply.txt: file mancante o illeggibile");
}

TEST_F(SupplyFile, SaveRemovesOnlyWhatSavesKilledHalfWayLeft) {
  ASSERT_EQ(save(), "");
  const std::string old = contents(supply);
  const auto killedSave = [&](SaveSeams seams) {  // killed just before the rename: what it left
    const Names before = names();
    seams.beforeRename = [] { std::raise(SIGKILL); };
    EXPECT_EQ(saveAs(0, seams), "killed");
    Names left = names();
    std::erase_if(left, [&](const std::string& name) { return before.contains(name); });
    return left.size() == 1 ? folder / *left.begin() : top;
  };
  // Two leftovers are held by a running process, with a flock and with a record lock.
  const fs::path flocked = killedSave(kNamed);
  const int flock = ::open(flocked.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(flock, LOCK_SH), 0);
  const fs::path recorded = killedSave({});
  const int record = ::open(recorded.c_str(), O_RDWR);
  struct flock whole {};
  whole.l_type = F_RDLCK;
  ASSERT_EQ(::fcntl(record, F_SETLK, &whole), 0);
  killedSave({});  // the third one's clean-up must leave the first two
  EXPECT_EQ(contents(supply), old);
  // The user's own: a file, and a second name for another that only its number tells.
  std::ofstream(folder / "supply.txt.saving-backup") << old;
  char second[64];
  std::ofstream(top / "backup") << old;
  std::snprintf(second, sizeof second, "supply.txt.saving-%016jx", uintmax_t{about(top / "backup").st_ino});
  fs::create_hard_link(top / "backup", folder / second);
  EXPECT_EQ(save(), "");
  EXPECT_EQ(names(), (Names{"supply.txt", flocked.filename(), recorded.filename(),
                            "supply.txt.saving-backup", second}));
  EXPECT_EQ(contents(folder / second), old);
  ::close(flock), ::close(record);
}

TEST_F(SupplyFile, SavesAtOnceNeverTakeEachOthersFiles) {
  // Both name their files from the start, so that each one's clean-up sees the other's.
  for (int saver = 0; saver < 2; ++saver) {
    if (::fork() != 0) continue;
    int failed = 0;
    for (int i = 0; i < 100; ++i) failed += !save(kNamed).empty();
    ::_exit(failed);
  }
  int status = -1;  // still -1 when there is no saver left to wait for
  for (int saver = 0; saver < 2; ++saver) EXPECT_EQ(::wait(&status) > 0 ? status : -1, 0);
  EXPECT_EQ(std::tuple(names(), contents(supply)), std::tuple(Names{"supply.txt"}, text()));
}

TEST_F(SupplyFile, EachUserSavesWhereTheFileMayBeWrittenAndKeepsItsOwnerGroupAndMode) {
  if (::geteuid() != 0 || !othersReach(top))
    GTEST_SKIP() << "makes its own users, which needs root and a folder they reach";
  // The folder's group and mode; the file's owner, group and mode (0: no file); who saves; then
  // what SAVE says, and whether it replaced the file (rather than writing into it).
  const std::tuple<const char*, gid_t, mode_t, Owner, uid_t, const char*, bool> cases[] = {
      {"root's folder, no file", 0, 0755, {0, 0, 0}, kAlice, "cartella non scrivibile", false},
      {"root's folder, a file anyone may write", 0, 0755, {0, 0, 0666}, kAlice, "", false},
      {"sticky folder", 0, 01777, {kBob, kBob, 0644}, kAlice, "file protetto da scrittura", false},
      {"a group's folder, root saves", kTeam, 0775, {kBob, kTeam, 0664}, 0, "", true},
      {"a group's folder, Alice saves", kTeam, 0775, {kBob, kTeam, 0664}, kAlice, "", false},
      {"a group's folder, Bob saves", kTeam, 0775, {kBob, kTeam, 0664}, kBob, "", true}};
  for (const SaveSeams& disk : {SaveSeams(), kNamed})
    for (const auto& [name, group, mode, file, user, said, replaced] : cases) {
      SCOPED_TRACE(name);
      ASSERT_EQ(::chown(folder.c_str(), 0, group) | ::chmod(folder.c_str(), mode), 0);
      fs::remove(supply);
      const auto [fileOwner, fileGroup, fileMode] = file;
      if (fileMode != 0) std::ofstream(supply) << std::string(5000, 'x');
      ::chown(supply.c_str(), fileOwner, fileGroup), ::chmod(supply.c_str(), fileMode);
      const ino_t number = about(supply).st_ino;
      state.net.sampleLabels.push_back("x");
      EXPECT_EQ(saveAs(user, disk),
                *said ? "Impossibile salvare supply.txt: " + std::string(said) : "");
      EXPECT_EQ(names(), fs::exists(supply) ? Names{"supply.txt"} : Names{});
      if (*said != '\0') continue;
      const struct stat now = about(supply);
      EXPECT_EQ(std::tuple(contents(supply), Owner{now.st_uid, now.st_gid, now.st_mode & 07777},
                           now.st_ino != number),
                std::tuple(text(), file, replaced));
    }
}
