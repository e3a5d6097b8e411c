#include "files/RemoteFile.h"

#include "link/Link.h"
#include "link/Report.h"
#include "model/ParamStore.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace fs = std::filesystem;

static_assert(kRemoteFileSize == kRemoteKeyBytes);

namespace {

RemoteFileResult LoadNamed(std::span<const uint8_t> bytes, const std::string& strName) {
    RemoteFileResult result;
    if (bytes.empty()) {
        result.strError = "Cannot load " + strName + ": it is empty";
        return result;
    }
    if (bytes.size() > kRemoteFileSize) {
        result.strError =
            "Cannot load " + strName + ": it is longer than 18 bytes, so not a remote-code file";
        return result;
    }
    {
        auto lock = LockStore();
        std::copy(bytes.begin(), bytes.end(), g_Status.byRemoteKey.begin());
    }
    SendRemoteKeys();
    result.bTruncated = bytes.size() < kRemoteFileSize;
    result.bOk = true;
    return result;
}

} // namespace

fs::path RemoteFilePath(const fs::path& chosen) {
    fs::path::string_type name = chosen.filename().native();
    const size_t dot = name.rfind(fs::path::value_type('.'));
    fs::path result = chosen;
    if (dot == fs::path::string_type::npos) {
        result += ".remo";
    } else {
        name.erase(dot);
        result.replace_filename(fs::path(name) += ".remo");
    }
    return result;
}

int SendRemoteKeys() {
    std::array<uint8_t, 2 + kRemoteKeyBytes> data{kReportId, CMD_SET_REMOTE};
    {
        auto lock = LockStore();
        std::copy(g_Status.byRemoteKey.begin(), g_Status.byRemoteKey.end(), data.begin() + 2);
    }
    // Outside the lock: the write may wait for the processor, whose replies need the store.
    return WriteUsbData(data.data(), data.size());
}

RemoteFileResult LoadRemoteFileFromBytes(std::span<const uint8_t> bytes) {
    return LoadNamed(bytes, "remote-code data");
}

RemoteFileResult LoadRemoteFile(const fs::path& chosen) {
    const fs::path path = RemoteFilePath(chosen);
    std::vector<uint8_t> bytes;
    // One byte more than a file holds, to tell a longer file from a complete one.
    const FileResult read = ReadFileBytes(path, kRemoteFileSize + 1, bytes, "remote-code file");
    RemoteFileResult result;
    if (read.bOk)
        result = LoadNamed(bytes, "remote-code file " + QuotedPath(path));
    else
        static_cast<FileResult&>(result) = read;
    result.path = path;
    return result;
}

RemoteFileResult SaveRemoteFile(const fs::path& chosen) {
    std::array<uint8_t, kRemoteKeyBytes> keys{};
    {
        auto lock = LockStore();
        keys = g_Status.byRemoteKey;
    }
    RemoteFileResult result;
    result.path = RemoteFilePath(chosen);
    static_cast<FileResult&>(result) = WriteFileAtomically(result.path, keys, "remote-code file");
    return result;
}
