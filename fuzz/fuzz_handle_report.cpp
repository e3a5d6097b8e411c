// Feeds arbitrary reports, one or a sequence, to the dispatcher. Nothing may crash or write outside
// the store (ASan watches), and every answer the console sends must be a well-formed report.
#include "dispatch/Dispatcher.h"
#include "link/Codec.h"
#include "link/Link.h"
#include "model/Defaults.h"
#include "model/ParamStore.h"

#include <cstdlib>
#include <cstring>

namespace {

class CheckingLink : public ILink {
public:
    int WriteReport(const Report& report) override {
        if (report[0] != kReportId)
            std::abort();
        return static_cast<int>(kReportSize);
    }
    void Pause(std::chrono::milliseconds) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CheckingLink link;
    static bool init = [] {
        ResetStoreAtStartup();
        SetLink(&link);
        return true;
    }();
    (void)init;
    // Each 61 bytes (the last chunk zero-filled) is one report.
    for (size_t at = 0; at < size; at += kReportSize) {
        Report r{};
        std::memcpy(r.data(), data + at, std::min(kReportSize, size - at));
        HandleReport(r);
    }
    return 0;
}
