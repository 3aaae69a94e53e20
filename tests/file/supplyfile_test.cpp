#include "supplyfile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace segno {
namespace {

namespace fs = std::filesystem;

// A fresh folder that holds the program `link` names, with a sample "I" to save.
class SupplyFile : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "segno-XXXXXX").string();
    folder = ::mkdtemp(pattern.data());
    supply = folder / "supply.txt", link = folder / "link";
    fs::create_symlink(folder / "segno", link);
    state.net.sampleLabels = state.net.neuronLabels = {"I"};
  }
  void TearDown() override { fs::remove_all(folder); }

  // What SAVE or LOAD has to say: the reason of a failure, or the remark of a SAVE.
  std::string save() {
    const Result<Replaced> saved = saveSupply(state, link.c_str());
    return saved.ok() ? saved.value().remark : saved.reason();
  }
  std::string load() {
    const Result<> loaded = loadSupply(state, link.c_str());
    return loaded.ok() ? "" : loaded.reason();
  }
  std::set<std::string> names() const {
    std::set<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) found.insert(entry.path().filename());
    return found;
  }

  fs::path folder, supply, link;
  FormState state;
};

TEST_F(SupplyFile, SavesBesideTheProgramKeepingThePermissionsOfTheFileItReplaces) {
  ::umask(022);
  EXPECT_EQ(save(), "");
  std::ifstream in(supply, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
            writeSampleFile(state.net).value());
  EXPECT_EQ(fs::status(supply).permissions(), fs::perms(0644));
  fs::permissions(supply, fs::perms(0600));
  EXPECT_EQ(save(), "");
  EXPECT_EQ(fs::status(supply).permissions(), fs::perms(0600));
  EXPECT_EQ(names(), (std::set<std::string>{"link", "supply.txt"}));
}

TEST_F(SupplyFile, NeitherSavesNorLoadsOnceTheProgramsFolderIsGone) {
  fs::remove(link);
  fs::create_symlink(folder / "gone" / "segno", link);
  EXPECT_EQ(save(), "Impossibile salvare supply.txt: cartella del programma non trovata");
  EXPECT_EQ(load(), "Impossibile caricare supply.txt: cartella del programma non trovata");
  EXPECT_EQ(names(), std::set<std::string>{"link"});
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
  for (const char* name : {"supply.txt.Stale1", "supply.txt.Held01", "supply.txt.bak"})
    std::ofstream(folder / name) << "x";
  const int held = ::open((folder / "supply.txt.Held01").c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);  // as the SAVE of another window holds its file
  EXPECT_EQ(save(), "");
  ::close(held);
  EXPECT_EQ(names(),
            (std::set<std::string>{"link", "supply.txt", "supply.txt.Held01", "supply.txt.bak"}));
}

}  // namespace
}  // namespace segno
