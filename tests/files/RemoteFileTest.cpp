#include "TestSupport.h"

#include "files/RemoteFile.h"

#include <fstream>
#include <numeric>
#include <random>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << p;
}

std::vector<uint8_t> Codes(uint8_t first) {
    std::vector<uint8_t> codes(kRemoteFileSize);
    for (size_t i = 0; i < codes.size(); ++i)
        codes[i] = static_cast<uint8_t>(first + 3 * i);
    return codes;
}

std::vector<uint8_t> StoreKeys() {
    return std::vector<uint8_t>(g_Status.byRemoteKey.begin(), g_Status.byRemoteKey.end());
}

using RemoteFileTest = TempDirTest;

TEST_F(RemoteFileTest, ExtensionBecomesRemo) {
    EXPECT_EQ(RemoteFilePath("keys.txt"), fs::path("keys.remo"));
    EXPECT_EQ(RemoteFilePath("keys.remo"), fs::path("keys.remo"));
    EXPECT_EQ(RemoteFilePath("keys.tar.gz"), fs::path("keys.tar.remo"));
    EXPECT_EQ(RemoteFilePath("keys"), fs::path("keys.remo"));
    EXPECT_EQ(RemoteFilePath("/home/a.b/keys"), fs::path("/home/a.b/keys.remo")); // folder dots stay
    EXPECT_EQ(RemoteFilePath("/home/a.b/keys.REMO"), fs::path("/home/a.b/keys.remo"));
}

TEST_F(RemoteFileTest, SaveWritesTheEighteenBytes) {
    // Nothing learned or read yet: all zero.
    RemoteFileResult r = SaveRemoteFile(dir / "fresh.remo");
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_EQ(ReadAll(dir / "fresh.remo"), std::vector<uint8_t>(18, 0));

    const auto codes = Codes(0xA0);
    std::copy(codes.begin(), codes.end(), g_Status.byRemoteKey.begin());
    r = SaveRemoteFile(dir / "typed.txt");
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_EQ(r.path, dir / "typed.remo");
    EXPECT_EQ(ReadAll(dir / "typed.remo"), codes);
    EXPECT_FALSE(fs::exists(dir / "typed.txt"));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(RemoteFileTest, LoadStoresAndSendsAllEighteenCodes) {
    const auto codes = Codes(0x10);
    WriteAll(dir / "room.remo", codes);
    RemoteFileResult r = LoadRemoteFile(dir / "room.txt"); // read from room.remo
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_FALSE(r.bTruncated);
    EXPECT_EQ(r.path, dir / "room.remo");
    EXPECT_EQ(StoreKeys(), codes);
    Report expected{0x02, 0x63};
    std::copy(codes.begin(), codes.end(), expected.begin() + 2);
    EXPECT_EQ(Sent(), std::vector<Report>{expected});

    // A shorter file changes its own bytes only, and still all 18 are sent.
    link.Clear();
    WriteAll(dir / "ten.remo", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    r = LoadRemoteFile(dir / "ten.remo");
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_TRUE(r.bTruncated);
    auto keys = codes;
    std::iota(keys.begin(), keys.begin() + 10, 1);
    EXPECT_EQ(StoreKeys(), keys);
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0][1], CMD_SET_REMOTE);
    EXPECT_EQ(Bytes(Sent()[0], 2, 18), keys);
}

TEST_F(RemoteFileTest, WrongFilesAreRefusedAndNothingSent) {
    const auto old = Codes(0x30);
    std::copy(old.begin(), old.end(), g_Status.byRemoteKey.begin());
    WriteAll(dir / "long.remo", std::vector<uint8_t>(19, 0xFF));
    WriteAll(dir / "empty.remo", {});
    WriteAll(dir / "plain", {1});
    const std::pair<fs::path, const char*> cases[] = {
        {dir / "long.remo", "longer than 18 bytes"},
        {dir / "empty.remo", "empty"},
        {dir / "missing.remo", "No such file or directory"},
        {dir / "plain" / "x.remo", "Not a directory"},
    };
    for (const auto& [path, reason] : cases) {
        const RemoteFileResult r = LoadRemoteFile(path);
        EXPECT_FALSE(r.bOk) << path;
        EXPECT_NE(r.strError.find(path.string()), std::string::npos) << r.strError;
        EXPECT_NE(r.strError.find(reason), std::string::npos) << r.strError;
    }
    EXPECT_FALSE(LoadRemoteFileFromBytes(std::vector<uint8_t>(100, 1)).bOk);
    EXPECT_EQ(StoreKeys(), old);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(RemoteFileTest, SaveReportsWhyItCannotWrite) {
    WriteAll(dir / "plain", {1, 2});
    RemoteFileResult r = SaveRemoteFile(dir / "plain" / "keys.remo");
    EXPECT_FALSE(r.bOk);
    EXPECT_NE(r.strError.find("Not a directory"), std::string::npos) << r.strError;

    // A folder in the way of the target is left alone.
    fs::create_directory(dir / "keys.remo");
    WriteAll(dir / "keys.remo" / "inside", {5});
    r = SaveRemoteFile(dir / "keys.txt");
    EXPECT_FALSE(r.bOk);
    EXPECT_NE(r.strError.find("Is a directory"), std::string::npos) << r.strError;
    EXPECT_EQ(ReadAll(dir / "keys.remo" / "inside"), std::vector<uint8_t>{5});
    EXPECT_EQ(ReadAll(dir / "plain"), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

} // namespace
