#include "files/ModeFile.h"

#include "model/ParamStore.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>
#include <system_error>

#if defined(_WIN32)
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

static_assert(kModeFileSlotsAt + 4 * SET_COUNT == kModeFileImageAt);
static_assert(kModeFileImageAt + kImageSize == kModeFileSurroundAt);
static_assert(kModeFileSurroundAt + kSurroundLevelsSize == kModeFileSoundFieldAt);
static_assert(kModeFileSoundFieldAt + kSoundFieldSize == kModeFileMicBoostAt);
static_assert(kModeFileMicBoostAt + kMicBoostSize == kModeFileSize);

namespace {

// The image grew from 1246 to 1253 bytes with version 6.
constexpr size_t kOldImageSize = 1246;

std::string PathText(const fs::path& path) {
    const std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
}

std::string SystemText(int err) {
    return std::generic_category().message(err != 0 ? err : EIO);
}

FileResult Failure(std::string text, int err) {
    FileResult result;
    result.strError = std::move(text);
    result.nErrno = err != 0 ? err : EIO;
    return result;
}

std::FILE* OpenFile(const fs::path& path, const char* mode) {
#if defined(_WIN32)
    std::wstring wideMode(mode, mode + std::strlen(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
#else
    return std::fopen(path.c_str(), mode);
#endif
}

// 0, or the error that keeps the data from reaching the disk.
int SyncFile(std::FILE* file) {
#if defined(_WIN32)
    return _commit(_fileno(file)) == 0 ? 0 : errno;
#else
    return ::fsync(::fileno(file)) == 0 ? 0 : errno;
#endif
}

// Makes the rename itself durable. Some file systems refuse to sync a directory; the file is
// already in place then, so this stays best effort.
void SyncDirectory([[maybe_unused]] const fs::path& dir) {
#if !defined(_WIN32)
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#endif
}

// A rename would replace a write-protected file; refuse it as opening the file for writing would.
int WriteProtection(const fs::path& target) {
#if defined(_WIN32)
    std::error_code ec;
    const fs::file_status st = fs::status(target, ec);
    if (!ec && fs::is_regular_file(st) && (st.permissions() & fs::perms::owner_write) == fs::perms::none)
        return EACCES;
    return 0;
#else
    if (::access(target.c_str(), F_OK) == 0 && ::access(target.c_str(), W_OK) != 0)
        return errno;
    return 0;
#endif
}

fs::path TempPathBeside(const fs::path& target) {
    static std::atomic<uint32_t> s_counter{0};
    std::random_device random;
    const uint32_t tag = random() ^ (s_counter.fetch_add(1) * 0x9E3779B9u);
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", tag);
    fs::path name = ".";
    name += target.filename().native();
    name += std::string(".") + hex + ".tmp";
    return target.parent_path() / name;
}

void PutLE32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int32_t GetLE32(const uint8_t* p) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i)
        v |= uint32_t(p[i]) << (8 * i);
    return static_cast<int32_t>(v);
}

// The areas of a version in file order, each with its offset in a version-8 file.
std::vector<ModeFileArea> AreasOf(const ModeFileLayout& layout) {
    std::vector<ModeFileArea> areas = {{kModeFileSlotsAt, 0, layout.nSlotBytes},
                                       {kModeFileImageAt, 0, layout.nImageBytes}};
    if (layout.bSurroundLevels)
        areas.push_back({kModeFileSurroundAt, 0, kSurroundLevelsSize});
    if (layout.bSoundField)
        areas.push_back({kModeFileSoundFieldAt, 0, kSoundFieldSize});
    if (layout.bMicBoost)
        areas.push_back({kModeFileMicBoostAt, 0, kMicBoostSize});
    return areas;
}

// The areas present in a file of `size` bytes: cut where it ends, placed in file order.
std::vector<ModeFileArea> HeldAreas(const ModeFileLayout& layout, size_t size) {
    std::vector<ModeFileArea> held;
    size_t at = 4;
    for (ModeFileArea area : AreasOf(layout)) {
        if (at >= size)
            break;
        area.nAtFile = at;
        area.nLength = std::min(area.nLength, size - at);
        at += area.nLength;
        held.push_back(area);
    }
    return held;
}

// Loads one image whose version was already checked. Caller holds the store lock.
void ApplyModeFile(std::span<const uint8_t> bytes, const ModeFileLayout& layout) {
    // The store's version-8 image, overwritten where the file has bytes: the slots were dumped from
    // little-endian memory, so a file that ends inside a slot replaces only its low bytes.
    std::vector<uint8_t> image = BuildModeFileBytes();
    for (const ModeFileArea& area : HeldAreas(layout, bytes.size()))
        std::copy_n(&bytes[area.nAtFile], area.nLength, &image[area.nAt8]);
    for (int i = 0; i < SET_COUNT; ++i)
        g_Param.nSetting[i] = GetLE32(&image[kModeFileSlotsAt + 4 * i]);

    // Older consoles saved sources this processor does not switch to from a file.
    int32_t& source = g_Param.nSetting[SET_MUSIC_SOURCE];
    if (!ModeFileKeepsMusicSource(source))
        source = 0;

    std::copy_n(&image[kModeFileImageAt], kImageSize, g_Param.byImage.begin());
    std::copy_n(&image[kModeFileSurroundAt], kSurroundLevelsSize, g_Param.bySurroundLevels.begin());
    if (layout.bSoundField) {
        std::copy_n(&image[kModeFileSoundFieldAt], kSoundFieldSize, g_bySoundFieldBytes.begin());
        DecodeSoundFieldBlock();
    }
    std::copy_n(&image[kModeFileMicBoostAt], kMicBoostSize, g_Param.byMicBoostBytes.begin());
}

// The version check of every load; the store is not touched.
ModeFileResult CheckNamed(std::span<const uint8_t> bytes, const std::string& strName) {
    ModeFileResult result;
    if (bytes.size() < 4) {
        result.strError = "Cannot load " + strName + ": it is not a mode file, " +
                          std::to_string(bytes.size()) + " bytes are too few to hold a version number";
        return result;
    }
    result.nVersion = GetLE32(bytes.data());
    if (ModeFileLayoutOf(result.nVersion).nSlotBytes == 0) {
        result.strError = "Cannot load " + strName + ": unsupported version " +
                          std::to_string(result.nVersion) + " (versions 1 to 8 can be read)";
        return result;
    }
    result.bTruncated = bytes.size() < ModeFileSizeOf(result.nVersion);
    result.bOversized = bytes.size() > ModeFileSizeOf(result.nVersion);
    result.bOk = true;
    return result;
}

ModeFileResult LoadNamed(std::span<const uint8_t> bytes, const std::string& strName) {
    ModeFileResult result = CheckNamed(bytes, strName);
    if (result.bOk) {
        auto lock = LockStore();
        ApplyModeFile(bytes, ModeFileLayoutOf(result.nVersion));
    }
    return result;
}

} // namespace

std::string QuotedPath(const fs::path& path) {
    return "\"" + PathText(path) + "\"";
}

bool ModeFileKeepsMusicSource(int32_t source) {
    return source == 0 || source == 1 || source == 4;
}

ModeFileLayout ModeFileLayoutOf(int version) {
    switch (version) {
    case 1:
    case 2:
        return {784, kOldImageSize, version == 2, false, false};
    case 3:
    case 4:
        return {796, kOldImageSize, true, version == 4, false};
    case 5:
        return {828, kOldImageSize, true, true, false};
    case 6:
        return {844, kImageSize, true, true, false};
    case 7:
        return {864, kImageSize, true, true, false};
    case 8:
        return {864, kImageSize, true, true, true};
    default:
        return {};
    }
}

size_t ModeFileSizeOf(int version) {
    const ModeFileLayout layout = ModeFileLayoutOf(version);
    if (layout.nSlotBytes == 0)
        return 0;
    return 4 + layout.nSlotBytes + layout.nImageBytes + (layout.bSurroundLevels ? kSurroundLevelsSize : 0) +
           (layout.bSoundField ? kSoundFieldSize : 0) + (layout.bMicBoost ? kMicBoostSize : 0);
}

int PendingModeFromFileName(const fs::path& path) {
    std::string name = PathText(path.filename());
    // Cut at the last dot ourselves: stem() treats names with leading dots differently.
    if (const size_t dot = name.rfind('.'); dot != std::string::npos)
        name.erase(dot);
    if (name.size() < 2 || std::tolower(static_cast<unsigned char>(name[0])) != 'm')
        return -1;
    if (name[1] >= '1' && name[1] <= '4')
        return name[1] - '1';
    return -1;
}

std::vector<uint8_t> BuildModeFileBytes() {
    std::vector<uint8_t> bytes(kModeFileSize);
    auto lock = LockStore();
    PutLE32(&bytes[0], kModeFileVersion);
    for (int i = 0; i < SET_COUNT; ++i)
        PutLE32(&bytes[kModeFileSlotsAt + 4 * i], static_cast<uint32_t>(g_Param.nSetting[i]));
    std::copy(g_Param.byImage.begin(), g_Param.byImage.end(), &bytes[kModeFileImageAt]);
    std::copy(g_Param.bySurroundLevels.begin(), g_Param.bySurroundLevels.end(), &bytes[kModeFileSurroundAt]);
    std::copy(g_bySoundFieldBytes.begin(), g_bySoundFieldBytes.end(), &bytes[kModeFileSoundFieldAt]);
    std::copy(g_Param.byMicBoostBytes.begin(), g_Param.byMicBoostBytes.end(), &bytes[kModeFileMicBoostAt]);
    return bytes;
}

ModeFileResult LoadModeFileFromBytes(std::span<const uint8_t> bytes) {
    return LoadNamed(bytes, "mode data");
}

ModeFileResult ReadModeFile(const fs::path& path, std::vector<uint8_t>& bytes) {
    // One byte more than the longest version, to tell a file that goes on.
    const FileResult read = ReadFileBytes(path, kModeFileSize + 1, bytes, "mode file");
    if (!read.bOk) {
        ModeFileResult result;
        static_cast<FileResult&>(result) = read;
        return result;
    }
    ModeFileResult result = CheckNamed(bytes, "mode file " + QuotedPath(path));
    if (result.bOk)
        result.nPendingMode = PendingModeFromFileName(path);
    else
        bytes.clear();
    if (result.bOversized)
        bytes.resize(ModeFileSizeOf(result.nVersion));
    return result;
}

ModeFileResult LoadModeFile(const fs::path& path) {
    std::vector<uint8_t> bytes;
    ModeFileResult result = ReadModeFile(path, bytes);
    if (result.bOk) {
        auto lock = LockStore();
        ApplyModeFile(bytes, ModeFileLayoutOf(result.nVersion));
    }
    return result;
}

std::vector<ModeFileArea> ModeFileAreasHeld(std::span<const uint8_t> bytes) {
    if (bytes.size() < 4)
        return {};
    return HeldAreas(ModeFileLayoutOf(GetLE32(bytes.data())), bytes.size());
}

std::vector<uint8_t> UpdateModeFileBytes(std::span<const uint8_t> bytes) {
    std::vector<uint8_t> out(bytes.begin(), bytes.end());
    const std::vector<uint8_t> image = BuildModeFileBytes();
    for (const ModeFileArea& area : ModeFileAreasHeld(bytes))
        std::copy_n(&image[area.nAt8], area.nLength, &out[area.nAtFile]);
    return out;
}

FileResult SaveModeFile(const fs::path& path) {
    return SaveModeFileBytes(path, BuildModeFileBytes());
}

FileResult SaveModeFileBytes(const fs::path& path, std::span<const uint8_t> bytes) {
    return WriteFileAtomically(path, bytes, "mode file");
}

FileResult ReadFileBytes(const fs::path& path, size_t nMax, std::vector<uint8_t>& bytes, const char* szWhat) {
    bytes.clear();
    errno = 0;
    std::FILE* file = OpenFile(path, "rb");
    if (!file) {
        const int err = errno;
        return Failure(std::string("Cannot open ") + szWhat + " " + QuotedPath(path) + ": " + SystemText(err),
                       err);
    }
    bytes.resize(nMax);
    errno = 0;
    const size_t n = std::fread(bytes.data(), 1, nMax, file);
    const int err = errno;
    const bool bFailed = std::ferror(file) != 0;
    std::fclose(file);
    bytes.resize(n);
    if (bFailed) {
        bytes.clear();
        return Failure(std::string("Cannot read ") + szWhat + " " + QuotedPath(path) + ": " + SystemText(err),
                       err);
    }
    FileResult result;
    result.bOk = true;
    return result;
}

FileResult WriteFileAtomically(const fs::path& path, std::span<const uint8_t> bytes, const char* szWhat) {
    const std::string head = std::string("Cannot write ") + szWhat + " " + QuotedPath(path) + ": ";
    std::error_code ec;
    fs::path target = path;
    // Save through a symbolic link into the file it names instead of replacing the link.
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec)
            target = resolved;
    }
    if (target.filename().empty())
        return Failure(head + "the path names no file", EINVAL);
    // The rename would replace a directory entry of any kind, a device node included.
    const fs::file_status existing = fs::status(target, ec);
    if (fs::is_directory(existing))
        return Failure(head + SystemText(EISDIR), EISDIR);
    if (fs::exists(existing) && !fs::is_regular_file(existing))
        return Failure(head + "it is not a regular file", EINVAL);
    if (const int err = WriteProtection(target))
        return Failure(head + SystemText(err), err);

    fs::path temp;
    std::FILE* file = nullptr;
    int err = 0;
    for (int attempt = 0; attempt < 16 && !file; ++attempt) {
        temp = TempPathBeside(target);
        errno = 0;
        file = OpenFile(temp, "wbx");
        err = errno;
        if (!file && err != EEXIST)
            break;
    }
    if (!file) {
        const fs::path dir = target.parent_path().empty() ? fs::path(".") : target.parent_path();
        return Failure(head + "cannot create a file in " + QuotedPath(dir) + ": " + SystemText(err), err);
    }

    std::string failure;
    int failureErr = 0;
    errno = 0;
    if (std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size() || std::fflush(file) != 0) {
        failureErr = errno;
        failure = "writing failed: " + SystemText(failureErr);
    } else if (const int syncErr = SyncFile(file)) {
        failureErr = syncErr;
        failure = "flushing to disk failed: " + SystemText(syncErr);
    }
    if (failure.empty() && fs::is_regular_file(existing))
        fs::permissions(temp, existing.permissions(), ec); // the replacement keeps the old mode
    errno = 0;
    if (std::fclose(file) != 0 && failure.empty()) {
        failureErr = errno;
        failure = "closing failed: " + SystemText(failureErr);
    }
    if (failure.empty()) {
        fs::rename(temp, target, ec);
        if (ec) {
            failureErr = ec.value();
            failure = "cannot replace the file: " + ec.message();
        }
    }
    if (!failure.empty()) {
        fs::remove(temp, ec);
        return Failure(head + failure, failureErr);
    }
    SyncDirectory(target.parent_path());
    FileResult result;
    result.bOk = true;
    return result;
}
