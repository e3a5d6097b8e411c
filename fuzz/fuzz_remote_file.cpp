// Feeds arbitrary bytes to the remote-code loader as the contents of a file. Nothing may crash; an
// accepted file changes exactly its own bytes of byRemoteKey and sends one CMD_SET_REMOTE report
// carrying all 18, a refused one changes and sends nothing.
#include "files/RemoteFile.h"
#include "link/Link.h"
#include "model/ParamStore.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

class CountingLink : public ILink {
public:
    int WriteReport(const Report& report) override {
        if (report[0] != kReportId || report[1] != CMD_SET_REMOTE)
            std::abort();
        last = report;
        ++nReports;
        return static_cast<int>(kReportSize);
    }
    void Pause(std::chrono::milliseconds) override {}
    Report last{};
    int nReports = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CountingLink link;
    static bool init = [] {
        SetLink(&link);
        return true;
    }();
    (void)init;
    link.nReports = 0;
    const auto before = g_Status.byRemoteKey;
    const RemoteFileResult r = LoadRemoteFileFromBytes(std::span<const uint8_t>(data, size));
    const auto& keys = g_Status.byRemoteKey;
    if (!r.bOk) {
        if (r.strError.empty() || keys != before || link.nReports != 0)
            std::abort();
        return 0;
    }
    if (size == 0 || size > kRemoteFileSize || link.nReports != 1)
        std::abort();
    if (!std::equal(data, data + size, keys.begin()) ||
        !std::equal(before.begin() + size, before.end(), keys.begin() + size) ||
        !std::equal(keys.begin(), keys.end(), link.last.begin() + 2))
        std::abort();
    return 0;
}
