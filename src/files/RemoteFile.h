// Remote-code files (*.remo): the 18 bytes of byRemoteKey, nothing else.
#pragma once

#include "files/ModeFile.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

constexpr size_t kRemoteFileSize = 18;

struct RemoteFileResult : FileResult {
    std::filesystem::path path; // the file actually used, with the extension "remo"
    bool bTruncated = false;    // shorter than 18 bytes: the keys beyond it kept their codes
};

// The chosen path with the part after the last "." of its file name replaced by "remo".
std::filesystem::path RemoteFilePath(const std::filesystem::path& chosen);

// CMD_SET_REMOTE with byRemoteKey[0..17]; returns what the link wrote.
int SendRemoteKeys();

// Copies the bytes into byRemoteKey from byte 0 and sends all 18. Empty or longer data is refused
// and neither changes the store nor sends anything.
RemoteFileResult LoadRemoteFileFromBytes(std::span<const uint8_t> bytes);
RemoteFileResult LoadRemoteFile(const std::filesystem::path& chosen);

// Writes the 18 bytes; the previous file survives any failure.
RemoteFileResult SaveRemoteFile(const std::filesystem::path& chosen);
