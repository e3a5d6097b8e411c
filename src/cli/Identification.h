// What the processor said about itself while m7qctl identified it, for the messages of a failed
// identification.
#pragma once

#include "cli/Language.h"
#include "dispatch/Dispatcher.h"
#include "link/Codec.h"
#include "link/Report.h"
#include "model/ParamStore.h"
#include "sync/Sync.h"

#include <atomic>
#include <string>

// What the processor said about itself: which identification answers arrived (the store keeps its
// start-up model and version without them) and whether its memory reads as erased.
inline std::string ToUtf8U16(const char16_t* buf, size_t capacity) {
    return ToUtf8(U16(buf, capacity));
}

struct Identification {
    std::atomic<bool> bModel{false};
    std::atomic<bool> bVersion{false};
    std::atomic<bool> bErased{false};
    std::string strDevice; // the device the link opened
    void Note(const Report& r) {
        if (r[1] == CMD_GET_MODEL)
            bModel = true;
        else if (r[1] == CMD_GET_CMD_VERSION)
            bVersion = true;
        else if (IsErasedMemoryReply(r))
            bErased = true;
    }
    // A failed identification in words: what was answered, or that nothing was.
    std::string Explain(const std::string& error) const {
        const auto silent = [this](const std::string& request, const std::string& zh) {
            return Say("the processor (" + strDevice + ") did not answer " + request +
                           "; run m7qctl doctor to see why",
                       "处理器（" + strDevice + "）没有应答" + zh + "；运行 m7qctl doctor 查看原因");
        };
        auto lock = LockStore();
        if (error == kTextWrongModel)
            return bModel
                       ? Say("the processor's model is \"" + ToUtf8U16(g_Device.szModel.data(), kModelChars) +
                                 "\": this console works with \"" + kExpectedModel + "\" only",
                             "处理器型号为 “" + ToUtf8U16(g_Device.szModel.data(), kModelChars) +
                                 "”，本软件只支持 “" + kExpectedModel + "”")
                       : silent("the model request", "型号请求");
        if (error == kTextWrongVersion)
            return bVersion
                       ? Say("the processor answers with command-set version " +
                                 std::to_string(g_Device.nCmdVersion) + ", this console speaks " +
                                 std::to_string(kExpectedCmdVersion) +
                                 ": use the software that came with the processor",
                             "处理器的通信版本为 " + std::to_string(g_Device.nCmdVersion) + "，本软件为 " +
                                 std::to_string(kExpectedCmdVersion) + "：请使用处理器配套的软件")
                       : silent("the command-set version request", "通信版本请求");
        return error;
    }
};
