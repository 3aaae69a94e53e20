#include "supplyfile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>

using namespace segno;

namespace {

namespace fs = std::filesystem;

// A fresh folder for the program that `link` names, with a sample "I" to save.
class SupplyFile : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "segno-XXXXXX").string();
    top = ::mkdtemp(pattern.data());
    folder = top / "program", supply = folder / "supply.txt";
    fs::create_directory(folder);
    fs::create_symlink(folder / "segno", top / "link");
    program.emplace((top / "link").string());
    state.net.sampleLabels = state.net.neuronLabels = {"I"};
  }
  void TearDown() override { fs::remove_all(top); }

  // What SAVE or LOAD has to say: the reason of a failure, or the remark of a SAVE.
  std::string save() {
    const Result<Replaced> saved = saveSupply(state, *program);
    return saved.ok() ? saved.value().remark : saved.reason();
  }
  std::string load() {
    const Result<> loaded = loadSupply(state, *program);
    return loaded.ok() ? "" : loaded.reason();
  }
  std::set<std::string> names() const {
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) found.insert(entry.path().filename());
    return found;
  }

  fs::path top, folder, supply;
  FormState state;
  std::optional<ProgramFolder> program;
};

}  // namespace

TEST_F(SupplyFile, SaveReplacesTheFileWholeOrNotAtAllAndKeepsItsPermissions) {
  ::umask(022);
  EXPECT_EQ(save(), "");
  const auto saved = fs::file_size(supply);
  EXPECT_EQ(saved, writeSampleFile(state.net).value().size());
  EXPECT_EQ(fs::status(supply).permissions(), fs::perms(0644));
  fs::permissions(supply, fs::perms(0600));
  state.net.neuronLabels.push_back("L");
  std::signal(SIGXFSZ, SIG_IGN);  // a write past the size limit then fails, as on a full disk
  rlimit limit{};
  ::getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit kept = limit;
  limit.rlim_cur = 100;
  ::setrlimit(RLIMIT_FSIZE, &limit);
  EXPECT_EQ(save(), "Impossibile salvare supply.txt: scrittura non riuscita (File too large)");
  ::setrlimit(RLIMIT_FSIZE, &kept);
  EXPECT_EQ(fs::file_size(supply), saved);
  EXPECT_EQ(save(), "");
  EXPECT_EQ(fs::status(supply).permissions(), fs::perms(0600));
  EXPECT_EQ(names(), std::set<std::string>{"supply.txt"});
}

TEST_F(SupplyFile, NeitherSavesNorLoadsOnceTheProgramsFolderIsGoneWhateverTakesItsPlace) {
  fs::rename(folder, top / "renamed");  // as the running program's own link would follow it
  fs::remove(top / "link");
  fs::create_symlink(top / "renamed" / "segno", top / "link");
  EXPECT_EQ(save(), "");
  fs::remove_all(top / "renamed");
  EXPECT_EQ(save(), "Impossibile salvare supply.txt: cartella del programma non trovata");
  fs::create_directory(top / "renamed");
  EXPECT_EQ(load(), "Impossibile caricare supply.txt: cartella del programma non trovata");
  EXPECT_TRUE(fs::is_empty(top / "renamed"));
}

TEST_F(SupplyFile, LoadTakesOnlyARegularFileAndNeverWaitsForOne) {
  EXPECT_EQ(load(), "Impossibile caricare supply.txt: file mancante o illeggibile");
  ASSERT_EQ(::mkfifo(supply.c_str(), 0600), 0);
  EXPECT_EQ(load(), "Impossibile caricare supply.txt: non è un file regolare");
  fs::remove(supply);
  sockaddr_un address{AF_UNIX, {}};
  supply.string().copy(address.sun_path, sizeof address.sun_path - 1);
  const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  EXPECT_EQ(load(), "Impossibile caricare supply.txt: non è un file regolare");
  ::close(socket);
}

TEST_F(SupplyFile, SaveLeavesAFolderInItsPlaceAndRemovesOnlyLeftoversNoSaveHolds) {
  fs::create_directories(supply / "kept");
  EXPECT_EQ(save(), "Impossibile salvare supply.txt: supply.txt è una cartella");
  fs::remove_all(supply);
  // A copy of the user's own, a leftover of a killed SAVE, and the file of a running one.
  for (const char* name : {"backup", "saving-Stale1", "saving-Held01"})
    std::ofstream(folder / ("supply.txt." + std::string(name))) << "x";
  const int held = ::open((folder / "supply.txt.saving-Held01").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  EXPECT_EQ(save(), "");
  ::close(held);
  EXPECT_EQ(names(),
            (std::set<std::string>{"supply.txt", "supply.txt.backup", "supply.txt.saving-Held01"}));
}
