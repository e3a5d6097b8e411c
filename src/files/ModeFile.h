// Mode files (*.vm3zt): a byte dump of the setting slots, the memory image and the three blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

constexpr int kModeFileVersion = 8; // the version we write
constexpr int kModeFileOldestVersion = 1;
constexpr size_t kModeFileSize = 2175; // a version-8 file

// Offsets of the areas in a version-8 file.
constexpr size_t kModeFileSlotsAt = 4;
constexpr size_t kModeFileImageAt = 868;
constexpr size_t kModeFileSurroundAt = 2121;
constexpr size_t kModeFileSoundFieldAt = 2153;
constexpr size_t kModeFileMicBoostAt = 2173;

struct FileResult {
    bool bOk = false;
    std::string strError; // empty on success; names the path and the system's reason
    int nErrno = 0;       // the system's error number of a failed open, read or write; 0 otherwise
};

struct ModeFileResult : FileResult {
    int nVersion = 0;        // version found in the file, 0 when there was none to read
    bool bTruncated = false; // shorter than its version's size; loaded as far as it went
    bool bOversized = false; // longer than its version's size; what follows was not read
    int nPendingMode = -1;   // 0..3 for names beginning "m1".."m4"; the Open command applies it
};

// Area sizes of one file version; all zero for a version we cannot read.
struct ModeFileLayout {
    size_t nSlotBytes = 0;
    size_t nImageBytes = 0;
    bool bSurroundLevels = false;
    bool bSoundField = false;
    bool bMicBoost = false;
};
ModeFileLayout ModeFileLayoutOf(int version);
size_t ModeFileSizeOf(int version); // 0 for a version we cannot read

// The music sources a mode file keeps: the reader turns any other (2 HDMI, 3 Bluetooth, 5 AUX 2)
// into 0 (SPDIF).
bool ModeFileKeepsMusicSource(int32_t source);

// −1, or 0..3 when the file name (folder and extension dropped, any case) begins with m1..m4.
int PendingModeFromFileName(const std::filesystem::path& path);

// The version-8 file image of the store as it is now.
std::vector<uint8_t> BuildModeFileBytes();

// Lays a file image onto the store as it stands, under the store lock, and decodes the sound field:
// the areas the file holds are overwritten, everything past them (an older version's missing slots,
// image bytes and blocks; the rest of a truncated file) keeps its value. Nothing is sent; the caller
// starts the write-all. A refused image leaves the store untouched.
ModeFileResult LoadModeFileFromBytes(std::span<const uint8_t> bytes);
ModeFileResult LoadModeFile(const std::filesystem::path& path);
// Reads and checks a mode file without touching the store, for a load once the store is current.
// `bytes` ends where the file's version ends (bOversized: the file goes on).
ModeFileResult ReadModeFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes);

// Where a file image's bytes go in a version-8 image: one entry per area it holds, cut where it ends.
struct ModeFileArea {
    size_t nAt8 = 0;    // offset in a version-8 file
    size_t nAtFile = 0; // offset in this file
    size_t nLength = 0;
};
std::vector<ModeFileArea> ModeFileAreasHeld(std::span<const uint8_t> bytes);
// `bytes` (a file image that loads) with every area it holds rewritten from the store: the file keeps
// its version and its length.
std::vector<uint8_t> UpdateModeFileBytes(std::span<const uint8_t> bytes);

// Writes a version-8 file; the previous file survives any failure.
FileResult SaveModeFile(const std::filesystem::path& path);
// Writes `bytes` as a mode file with the same care.
FileResult SaveModeFileBytes(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// ---- Shared by the file layer -------------------------------------------------------------------
std::string QuotedPath(const std::filesystem::path& path); // "\"/dir/name\"" for messages
// Reads at most nMax bytes. szWhat ("mode file", ...) starts the error text.
FileResult ReadFileBytes(const std::filesystem::path& path, size_t nMax, std::vector<uint8_t>& bytes,
                         const char* szWhat);
// Writes a temporary file beside the target, syncs it and renames it over the target.
FileResult WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                               const char* szWhat);
