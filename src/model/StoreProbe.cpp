#include "model/StoreProbe.h"

#include "link/Link.h"

StoreSnapshot TakeStoreSnapshot() {
    auto lock = LockStore();
    return {g_Param, g_Device, g_Status, g_SoundField, g_bySoundFieldBytes};
}

void RestoreStoreSnapshot(const StoreSnapshot& s) {
    auto lock = LockStore();
    g_Param = s.param;
    g_Device = s.device;
    g_Status = s.status;
    g_SoundField = s.field;
    g_bySoundFieldBytes = s.fieldBytes;
}

std::string CapturedOutcome(const std::function<std::string()>& run) {
    CRecordingLink capture;
    ILink* const real = GetLink();
    SetLink(&capture);
    std::string out = run();
    SetLink(real);
    for (const CRecordingLink::Entry& e : capture.Entries()) {
        out += e.nPauseMs >= 0 ? 'p' : 'r';
        out.append(e.report.begin(), e.report.end());
    }
    return out;
}

bool OutcomeDependsOn(const std::function<void(int variant)>& alter,
                      const std::function<std::string()>& run) {
    auto lock = LockStore();
    const StoreSnapshot before = TakeStoreSnapshot();
    const std::string base = CapturedOutcome(run);
    RestoreStoreSnapshot(before);
    bool depends = false;
    for (int variant = 0; variant < kProbeVariants && !depends; ++variant) {
        alter(variant);
        depends = CapturedOutcome(run) != base;
        RestoreStoreSnapshot(before);
    }
    return depends;
}
