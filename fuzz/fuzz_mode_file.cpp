// Feeds arbitrary bytes to the mode-file loader as the contents of a file. Nothing may crash or
// write outside the store (ASan watches); a refused file must leave the store as it was, and an
// accepted one must save back to a well-formed version-8 file.
#include "files/ModeFile.h"
#include "model/Defaults.h"
#include "model/ParamStore.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool init = [] {
        ResetStoreAtStartup();
        return true;
    }();
    (void)init;
    const ParamStore before = g_Param;
    const auto soundField = g_bySoundFieldBytes;
    const ModeFileResult r = LoadModeFileFromBytes(std::span<const uint8_t>(data, size));
    if (!r.bOk) {
        if (r.strError.empty() || before.nSetting != g_Param.nSetting || before.byImage != g_Param.byImage ||
            before.bySurroundLevels != g_Param.bySurroundLevels || soundField != g_bySoundFieldBytes ||
            before.byMicBoostBytes != g_Param.byMicBoostBytes)
            std::abort();
        return 0;
    }
    const int32_t source = g_Param.nSetting[SET_MUSIC_SOURCE];
    if (r.nVersion < 1 || r.nVersion > 8 || (source != 0 && source != 1 && source != 4))
        std::abort();
    const auto saved = BuildModeFileBytes();
    if (saved.size() != kModeFileSize || saved[0] != 8 || saved[1] != 0 || saved[2] != 0 || saved[3] != 0)
        std::abort();
    return 0;
}
