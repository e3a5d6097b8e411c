#include "TestSupport.h"

#include "files/ModeFile.h"

#include <cerrno>
#include <csignal>
#include <fstream>
#include <random>
#include <tuple>

#if !defined(_WIN32)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

// Areas of each version, written out here rather than taken from the reader.
struct VersionAreas {
    int nVersion;
    size_t nSlotBytes, nImageBytes;
    bool bSurround, bSoundField, bBoost;
    size_t nFileSize;
};
constexpr VersionAreas kVersions[] = {
    {1, 784, 1246, false, false, false, 2034}, {2, 784, 1246, true, false, false, 2066},
    {3, 796, 1246, true, false, false, 2078},  {4, 796, 1246, true, true, false, 2098},
    {5, 828, 1246, true, true, false, 2130},   {6, 844, 1253, true, true, false, 2153},
    {7, 864, 1253, true, true, false, 2173},   {8, 864, 1253, true, true, true, 2175},
};

// What a hand-built file puts into each area.
int32_t FileSlot(int i) {
    return i == SET_MUSIC_SOURCE ? 4 : static_cast<int32_t>(0x81000000u + 0x010203u * i);
}
uint8_t FileImage(size_t a) {
    return static_cast<uint8_t>(a * 7 + 3);
}
uint8_t FileSurround(size_t i) {
    return static_cast<uint8_t>(0x40 + i);
}
uint8_t FileSoundField(size_t i) {
    return static_cast<uint8_t>(i < 2 ? 9 + i : 30 + 5 * i);
}
constexpr uint8_t kFileBoost[2] = {0x5A, 0xA5};

void PutLE(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

std::vector<uint8_t> HandBuilt(const VersionAreas& v, uint32_t version) {
    std::vector<uint8_t> out;
    PutLE(out, version);
    for (size_t i = 0; i < v.nSlotBytes / 4; ++i)
        PutLE(out, static_cast<uint32_t>(FileSlot(static_cast<int>(i))));
    for (size_t a = 0; a < v.nImageBytes; ++a)
        out.push_back(FileImage(a));
    for (size_t i = 0; v.bSurround && i < kSurroundLevelsSize; ++i)
        out.push_back(FileSurround(i));
    for (size_t i = 0; v.bSoundField && i < kSoundFieldSize; ++i)
        out.push_back(FileSoundField(i));
    if (v.bBoost)
        out.insert(out.end(), std::begin(kFileBoost), std::end(kFileBoost));
    return out;
}
std::vector<uint8_t> HandBuilt(int version) {
    return HandBuilt(kVersions[version - 1], static_cast<uint32_t>(version));
}

std::vector<uint8_t> ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const fs::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << p;
}

// Everything a mode file may touch.
struct Snapshot {
    std::array<int32_t, SET_COUNT> slots = g_Param.nSetting;
    std::array<uint8_t, kImageSize> image = g_Param.byImage;
    std::array<uint8_t, kSurroundLevelsSize> surround = g_Param.bySurroundLevels;
    std::array<uint8_t, kSoundFieldSize> soundField = g_bySoundFieldBytes;
    std::array<uint8_t, kMicBoostSize> boost = g_Param.byMicBoostBytes;
    int32_t nRoomWidth = g_SoundField.nRoomWidth;
    float fListenerX = g_SoundField.fListenerX;
    bool operator==(const Snapshot&) const = default;
};

class ModeFileTest : public TempDirTest {
protected:
    // A store unlike both the start-up state and the hand-built files.
    void MarkStore() {
        g_Param.nSetting.fill(-7);
        g_Param.nSetting[SET_MUSIC_SOURCE] = 1;
        g_Param.byImage.fill(0xEE);
        g_Param.bySurroundLevels.fill(0x11);
        g_bySoundFieldBytes.fill(0x22);
        DecodeSoundFieldBlock();
        g_Param.byMicBoostBytes = {0x33, 0x44};
    }
    std::vector<fs::path> Entries() const {
        std::vector<fs::path> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename());
        return names;
    }
};

TEST_F(ModeFileTest, SaveWritesVersionEightByteExactAndLoadsBack) {
    // The store as a hand-built version-8 file describes it must save to exactly that file.
    for (int i = 0; i < SET_COUNT; ++i)
        g_Param.nSetting[i] = FileSlot(i);
    for (size_t a = 0; a < kImageSize; ++a)
        g_Param.byImage[a] = FileImage(a);
    for (size_t i = 0; i < kSurroundLevelsSize; ++i)
        g_Param.bySurroundLevels[i] = FileSurround(i);
    for (size_t i = 0; i < kSoundFieldSize; ++i)
        g_bySoundFieldBytes[i] = FileSoundField(i);
    g_Param.byMicBoostBytes = {kFileBoost[0], kFileBoost[1]};
    DecodeSoundFieldBlock();
    const Snapshot saved;

    const fs::path path = dir / "preset.vm3zt";
    const FileResult r = SaveModeFile(path);
    ASSERT_TRUE(r.bOk) << r.strError;
    const auto f = ReadAll(path);
    ASSERT_EQ(f.size(), 2175u);
    EXPECT_EQ(f, HandBuilt(8));
    EXPECT_EQ(std::vector<uint8_t>(f.begin(), f.begin() + 8),
              (std::vector<uint8_t>{8, 0, 0, 0, 0, 0, 0, 0x81}));
    EXPECT_EQ(f[868], FileImage(0));
    EXPECT_EQ(f[2121], FileSurround(0));
    EXPECT_EQ(f[2153], FileSoundField(0));
    EXPECT_EQ(f[2173], 0x5A);
    EXPECT_EQ(Entries(), std::vector<fs::path>{"preset.vm3zt"}); // no temporary file left

    g_Param = ParamStore{};
    ResetStoreAtStartup();
    ASSERT_FALSE(Snapshot{} == saved);
    const ModeFileResult back = LoadModeFile(path);
    ASSERT_TRUE(back.bOk) << back.strError;
    EXPECT_EQ(back.nVersion, 8);
    EXPECT_FALSE(back.bTruncated);
    EXPECT_TRUE(Snapshot{} == saved);
    EXPECT_TRUE(Sent().empty()); // files only change the store
}

TEST_F(ModeFileTest, EveryVersionLoadsItsAreasAndKeepsTheRest) {
    for (const VersionAreas& v : kVersions) {
        SCOPED_TRACE("version " + std::to_string(v.nVersion));
        EXPECT_EQ(ModeFileSizeOf(v.nVersion), v.nFileSize);
        const auto bytes = HandBuilt(v.nVersion);
        ASSERT_EQ(bytes.size(), v.nFileSize);
        const fs::path path = dir / ("v" + std::to_string(v.nVersion) + ".vm3zt");
        WriteAll(path, bytes);
        MarkStore();
        const Snapshot before;

        const ModeFileResult r = LoadModeFile(path);
        ASSERT_TRUE(r.bOk) << r.strError;
        EXPECT_EQ(r.nVersion, v.nVersion);
        EXPECT_FALSE(r.bTruncated);
        for (int i = 0; i < SET_COUNT; ++i) {
            const bool bInFile = static_cast<size_t>(i) < v.nSlotBytes / 4;
            ASSERT_EQ(g_Param.nSetting[i], bInFile ? FileSlot(i) : -7) << "slot " << i;
        }
        for (size_t a = 0; a < kImageSize; ++a)
            ASSERT_EQ(g_Param.byImage[a], a < v.nImageBytes ? FileImage(a) : 0xEE) << "address " << a;
        EXPECT_EQ(g_Param.bySurroundLevels[0], v.bSurround ? FileSurround(0) : 0x11);
        EXPECT_EQ(g_Param.bySurroundLevels[31], v.bSurround ? FileSurround(31) : 0x11);
        EXPECT_EQ(g_bySoundFieldBytes[0], v.bSoundField ? FileSoundField(0) : 0x22);
        EXPECT_EQ(g_bySoundFieldBytes[19], v.bSoundField ? FileSoundField(19) : 0x22);
        if (v.bSoundField) { // decoded, not only copied
            EXPECT_EQ(g_SoundField.nRoomWidth, FileSoundField(0));
            EXPECT_EQ(g_SoundField.fListenerX, DecodeSoundFieldCoord(FileSoundField(2)));
            EXPECT_EQ(g_SoundField.fSpeakerY[7], DecodeSoundFieldCoord(FileSoundField(19)));
        } else {
            EXPECT_EQ(g_SoundField.nRoomWidth, before.nRoomWidth);
        }
        EXPECT_EQ(g_Param.byMicBoostBytes[0], v.bBoost ? 0x5A : 0x33);
        EXPECT_EQ(g_Param.byMicBoostBytes[1], v.bBoost ? 0xA5 : 0x44);
    }
    EXPECT_TRUE(Sent().empty());
}

TEST_F(ModeFileTest, RefusedFilesLeaveTheStoreAlone) {
    auto withVersion = [](uint32_t version) { return HandBuilt(kVersions[7], version); };
    // 0x474E5089 is how a PNG image begins.
    const std::tuple<std::vector<uint8_t>, int, const char*> cases[] = {
        {withVersion(0), 0, "unsupported version 0"},
        {withVersion(9), 9, "unsupported version 9"},
        {withVersion(0xFFFFFFFF), -1, "unsupported version -1"},
        {withVersion(0x474E5089), 0x474E5089, "unsupported version 1196314761"},
        {{8, 0, 0}, 0, "too few to hold a version"},
        {{}, 0, "too few to hold a version"},
    };
    MarkStore();
    const Snapshot before;
    const fs::path path = dir / "odd.vm3zt";
    for (const auto& [bytes, version, reason] : cases) {
        SCOPED_TRACE(reason);
        WriteAll(path, bytes);
        const ModeFileResult r = LoadModeFile(path);
        EXPECT_FALSE(r.bOk);
        EXPECT_EQ(r.nVersion, version);
        EXPECT_EQ(r.nErrno, 0); // read, then refused: no system error
        EXPECT_NE(r.strError.find(reason), std::string::npos) << r.strError;
        EXPECT_NE(r.strError.find(path.string()), std::string::npos) << r.strError;
        EXPECT_FALSE(LoadModeFileFromBytes(bytes).bOk);
    }
    fs::create_directory(dir / "folder.vm3zt");
    for (const auto& [name, reason, err] : {std::tuple{"missing.vm3zt", "No such file or directory", ENOENT},
                                            std::tuple{"folder.vm3zt", "Is a directory", EISDIR}}) {
        const ModeFileResult r = LoadModeFile(dir / name);
        EXPECT_FALSE(r.bOk);
        EXPECT_EQ(r.nErrno, err) << name;
        EXPECT_NE(r.strError.find((dir / name).string() + "\": " + reason), std::string::npos) << r.strError;
    }
    EXPECT_TRUE(Snapshot{} == before);
}

TEST_F(ModeFileTest, TruncatedFilesLoadAsFarAsTheyGo) {
    const auto full = HandBuilt(8);
    const fs::path path = dir / "cut.vm3zt";

    // Ends inside slot 2: its two low bytes come from the file, as a dump of memory would.
    MarkStore();
    g_Param.nSetting[SET_MUSIC_SOURCE] = 5;
    WriteAll(path, std::vector<uint8_t>(full.begin(), full.begin() + 14));
    ModeFileResult r = LoadModeFile(path);
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_TRUE(r.bTruncated);
    EXPECT_EQ(g_Param.nSetting[1], FileSlot(1));
    EXPECT_EQ(static_cast<uint32_t>(g_Param.nSetting[2]),
              (uint32_t(-7) & 0xFFFF0000u) | (uint32_t(FileSlot(2)) & 0xFFFFu));
    EXPECT_EQ(g_Param.nSetting[3], -7);
    EXPECT_EQ(g_Param.nSetting[SET_MUSIC_SOURCE], 0); // fixed even though the file did not reach it
    EXPECT_EQ(g_Param.byImage[0], 0xEE);

    // Ends inside the sound field block: the part read is decoded with the old rest.
    MarkStore();
    WriteAll(path, std::vector<uint8_t>(full.begin(), full.begin() + kModeFileSoundFieldAt + 3));
    r = LoadModeFile(path);
    ASSERT_TRUE(r.bOk) << r.strError;
    EXPECT_EQ(g_Param.bySurroundLevels[31], FileSurround(31));
    EXPECT_EQ(g_bySoundFieldBytes[2], FileSoundField(2));
    EXPECT_EQ(g_bySoundFieldBytes[3], 0x22);
    EXPECT_EQ(g_SoundField.fListenerX, DecodeSoundFieldCoord(FileSoundField(2)));
    EXPECT_EQ(g_SoundField.fListenerY, DecodeSoundFieldCoord(0x22));
    EXPECT_EQ(g_Param.byMicBoostBytes[0], 0x33);

    // One byte short of complete.
    MarkStore();
    WriteAll(path, std::vector<uint8_t>(full.begin(), full.end() - 1));
    r = LoadModeFile(path);
    ASSERT_TRUE(r.bOk);
    EXPECT_TRUE(r.bTruncated);
    EXPECT_EQ(g_Param.byMicBoostBytes[0], 0x5A);
    EXPECT_EQ(g_Param.byMicBoostBytes[1], 0x44);
}

// A file that goes on past its version (a version-1 file padded, a version-8 file with a tail, one
// byte more than the longest version) is said to, and read as far as its version goes.
TEST_F(ModeFileTest, AFileLongerThanItsVersionIsToldAndReadToItsVersionsEnd) {
    const fs::path path = dir / "long.vm3zt";
    for (const auto& [version, extra] : {std::pair{1, size_t{141}}, {8, size_t{1}}, {8, size_t{4000}}}) {
        SCOPED_TRACE("version " + std::to_string(version) + " + " + std::to_string(extra));
        std::vector<uint8_t> bytes = HandBuilt(version);
        const size_t size = bytes.size();
        bytes.resize(size + extra, 0xA7);
        WriteAll(path, bytes);
        std::vector<uint8_t> read;
        const ModeFileResult r = ReadModeFile(path, read);
        ASSERT_TRUE(r.bOk) << r.strError;
        EXPECT_TRUE(r.bOversized);
        EXPECT_FALSE(r.bTruncated);
        EXPECT_EQ(read,
                  std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)));
    }
    WriteAll(path, HandBuilt(8));
    std::vector<uint8_t> read;
    EXPECT_FALSE(ReadModeFile(path, read).bOversized);
}

TEST_F(ModeFileTest, AFileIsReadWithoutTheStoreAndWrittenBackInItsOwnLayout) {
    for (const VersionAreas& v : kVersions) {
        for (const size_t cut : {size_t{0}, size_t{9}, v.nFileSize / 2}) {
            SCOPED_TRACE("version " + std::to_string(v.nVersion) + " cut " + std::to_string(cut));
            auto bytes = HandBuilt(v.nVersion);
            bytes.resize(bytes.size() - cut);
            const fs::path path = dir / "f.vm3zt";
            WriteAll(path, bytes);
            MarkStore();
            const Snapshot marked;
            std::vector<uint8_t> read;
            const ModeFileResult r = ReadModeFile(path, read);
            ASSERT_TRUE(r.bOk) << r.strError;
            EXPECT_EQ(r.bTruncated, cut > 0);
            EXPECT_EQ(read, bytes);
            EXPECT_TRUE(Snapshot{} == marked) << "reading leaves the store alone";

            ASSERT_TRUE(LoadModeFileFromBytes(bytes).bOk);
            EXPECT_EQ(UpdateModeFileBytes(bytes), bytes) << "unchanged, it writes back what it read";
            // Every byte the file holds follows the store, nothing else is added.
            g_Param.nSetting[0] = 0x01020304;
            g_Param.byImage.fill(0x99);
            g_Param.byMicBoostBytes = {0x77, 0x78};
            const std::vector<uint8_t> out = UpdateModeFileBytes(bytes);
            ASSERT_EQ(out.size(), bytes.size());
            EXPECT_TRUE(std::equal(out.begin(), out.begin() + 4, bytes.begin())) << "the version stays";
            EXPECT_EQ(out[4], 0x04);
            EXPECT_EQ(out[7], 0x01);
            size_t held = 4;
            for (const ModeFileArea& area : ModeFileAreasHeld(bytes)) {
                EXPECT_EQ(area.nAtFile, held);
                held += area.nLength;
            }
            EXPECT_EQ(held, bytes.size());
            const size_t image = 4 + v.nSlotBytes;
            if (bytes.size() > image) {
                EXPECT_EQ(out[image], 0x99);
            }
            EXPECT_EQ(out.back() == 0x78, v.bBoost && cut == 0);
        }
    }
}

TEST_F(ModeFileTest, MusicSourceOutsideSpdifCoaxAux1BecomesSpdif) {
    const std::pair<int32_t, int32_t> cases[] = {{0, 0}, {1, 1}, {2, 0}, {3, 0},
                                                 {4, 4}, {5, 0}, {6, 0}, {-1, 0}};
    for (const auto& [source, loaded] : cases) {
        auto bytes = HandBuilt(8);
        for (int i = 0; i < 4; ++i)
            bytes[kModeFileSlotsAt + 4 * SET_MUSIC_SOURCE + i] =
                static_cast<uint8_t>(uint32_t(source) >> (8 * i));
        g_Param.nSetting[SET_MUSIC_SOURCE] = 1;
        ASSERT_TRUE(LoadModeFileFromBytes(bytes).bOk);
        EXPECT_EQ(g_Param.nSetting[SET_MUSIC_SOURCE], loaded) << "source " << source;
    }
}

TEST_F(ModeFileTest, PendingModeComesFromTheFileName) {
    const std::pair<const char*, int> cases[] = {
        {"m3 party.vm3zt", 2},
        {"M2.vm3zt", 1},
        {"m1", 0},
        {"M4.VM3ZT", 3},
        {"x1.vm3zt", -1},
        {"m5.vm3zt", -1},
        {"m0.vm3zt", -1},
        {"mm1.vm3zt", -1},
        {"m.1", -1}, // the 1 is the extension
        {"m4.old.vm3zt", 3},
        {"/home/m1/x.vm3zt", -1}, // the folder does not count
        {"/data/presets/m2 living.vm3zt", 1},
    };
    for (const auto& [name, mode] : cases)
        EXPECT_EQ(PendingModeFromFileName(name), mode) << name;

    const fs::path path = dir / "M3 party.vm3zt";
    WriteAll(path, HandBuilt(8));
    EXPECT_EQ(LoadModeFile(path).nPendingMode, 2);
    EXPECT_EQ(LoadModeFileFromBytes(HandBuilt(8)).nPendingMode, -1);
    WriteAll(dir / "m9.vm3zt", {9, 0, 0, 0});
    EXPECT_EQ(LoadModeFile(dir / "m9.vm3zt").nPendingMode, -1); // refused files set no mode
}

TEST_F(ModeFileTest, SaveReportsWhyItCannotWrite) {
    WriteAll(dir / "plain", {1, 2, 3});
    struct Case {
        fs::path path;
        const char* szReason;
        int nErrno; // what the error box shows; 0: any system error
    };
    const Case cases[] = {
        {dir / "no-such-folder" / "a.vm3zt", "No such file or directory", ENOENT},
        {dir / "plain" / "a.vm3zt", "Not a directory", ENOTDIR}, // parent is a regular file
        {"/proc/m7q-console-test.vm3zt", "cannot create a file in \"/proc\"", 0},
        {dir, "Is a directory", EISDIR},
        {"/dev/null", "not a regular file", EINVAL},
    };
    for (const Case& c : cases) {
        const FileResult r = SaveModeFile(c.path);
        EXPECT_FALSE(r.bOk) << c.path;
        EXPECT_NE(r.strError.find(c.path.string()), std::string::npos) << r.strError;
        EXPECT_NE(r.strError.find(c.szReason), std::string::npos) << r.strError;
        if (c.nErrno)
            EXPECT_EQ(r.nErrno, c.nErrno) << c.path;
        else
            EXPECT_NE(r.nErrno, 0) << c.path;
    }
    EXPECT_EQ(ReadAll(dir / "plain"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(Entries(), std::vector<fs::path>{"plain"});
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}

#if !defined(_WIN32)
TEST_F(ModeFileTest, FailedSaveKeepsThePreviousFile) {
    const fs::path path = dir / "keep.vm3zt";
    const std::vector<uint8_t> previous = HandBuilt(5);
    WriteAll(path, previous);

    // A file-size limit makes the write itself fail, even for root.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = 100;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const FileResult r = SaveModeFile(path);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(r.bOk);
    EXPECT_EQ(r.nErrno, EFBIG);
    EXPECT_NE(r.strError.find("File too large"), std::string::npos) << r.strError;
    EXPECT_NE(r.strError.find(path.string()), std::string::npos) << r.strError;
    EXPECT_EQ(ReadAll(path), previous);
    EXPECT_EQ(Entries(), std::vector<fs::path>{"keep.vm3zt"}); // the partial temporary file is gone
}

TEST_F(ModeFileTest, WriteProtectedFileIsNotReplaced) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permission bits do not stop root";
    const fs::path path = dir / "locked.vm3zt";
    WriteAll(path, {7, 7, 7});
    fs::permissions(path, fs::perms::owner_read);
    const FileResult r = SaveModeFile(path);
    EXPECT_FALSE(r.bOk);
    EXPECT_NE(r.strError.find("Permission denied"), std::string::npos) << r.strError;
    EXPECT_EQ(ReadAll(path), (std::vector<uint8_t>{7, 7, 7}));
}
#endif

TEST_F(ModeFileTest, SaveReplacesKeepingModeAndLinks) {
    const fs::path path = dir / "linked.vm3zt";
    WriteAll(path, {1, 2, 3});
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink("linked.vm3zt", dir / "link.vm3zt");

    ASSERT_TRUE(SaveModeFile(dir / "link.vm3zt").bOk);
    EXPECT_TRUE(fs::is_symlink(dir / "link.vm3zt"));
    EXPECT_EQ(ReadAll(path), BuildModeFileBytes());
    EXPECT_EQ(fs::status(path).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    ASSERT_TRUE(SaveModeFile(path).bOk); // over an existing file
    EXPECT_EQ(ReadAll(path).size(), kModeFileSize);
    EXPECT_EQ(Entries().size(), 2u);
}

} // namespace
