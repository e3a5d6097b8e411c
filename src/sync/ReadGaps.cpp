#include "sync/ReadGaps.h"

#include "dispatch/Dispatcher.h"
#include "link/Codec.h"
#include "model/ParamStore.h"
#include "model/StoreProbe.h"

#include <algorithm>
#include <cstdio>

namespace {

bool IsParamRead(const Report& r) {
    return r[1] == CMD_GET_PARAM;
}

bool LinkLost(CConnection& conn) {
    return !conn.Link().IsOpen() || conn.Link().ReaderEnded();
}

} // namespace

ReadGaps AskAgainForUnanswered(CConnection& conn) {
    ReadGaps gaps;
    gaps.reads = conn.UnansweredReads();
    for (int i = 0; i < kAskAgainTimes && !gaps.reads.empty() && !LinkLost(conn); ++i)
        gaps.reads = conn.AskAgain();
    gaps.bLinkLost = LinkLost(conn);
    return gaps;
}

std::string DescribeRead(const Report& r) {
    char text[48];
    if (IsParamRead(r))
        std::snprintf(text, sizeof text, "block %d parameter %d", r[3], r[4]);
    else
        std::snprintf(text, sizeof text, "memory 0x%04x (%d bytes)", r[2] << 8 | r[3], r[4]);
    return text;
}

Report InventedAnswer(const Report& request, int variant) {
    Report answer{};
    answer[0] = kReportId;
    answer[1] = request[1];
    if (IsParamRead(request)) {
        answer[3] = request[3];
        answer[4] = request[4];
        const int count = std::min<int>(request[5], kMaxParamValues);
        answer[5] = static_cast<uint8_t>(count);
        // Small positive values (the compressor's times need them), negative ones and whole numbers
        // from zero (a flag in the second value reads both ways); their low bytes differ too, for
        // the integer slots that read those.
        for (int i = 0; i < count; ++i) {
            const auto n = static_cast<float>(i);
            PutBE32(&answer[6 + 4 * i], FloatBits(variant == 0   ? 0.37f + 0.01f * n
                                                  : variant == 1 ? n - 0.61f
                                                                 : n));
        }
    } else {
        std::copy_n(&request[2], 3, &answer[2]);
        const int length = std::min<int>(request[4], kReportPayload);
        for (int i = 0; i < length; ++i) // never 0xFF 0xFF first: that reads as erased memory
            answer[5 + i] = static_cast<uint8_t>(variant == 0   ? 0x35 + 7 * i
                                                 : variant == 1 ? 0x5A + 13 * i
                                                                : 0);
    }
    return answer;
}

std::string ValuesOfRead(const Report& request) {
    if (!IsParamRead(request))
        return {};
    std::array<bool, SET_COUNT> filled{};
    {
        auto lock = LockStore();
        const StoreSnapshot before = TakeStoreSnapshot();
        for (int variant = 0; variant < kProbeVariants; ++variant) {
            HandleReport(InventedAnswer(request, variant));
            for (int s = 0; s < SET_COUNT; ++s)
                filled[s] = filled[s] || g_Param.nSetting[s] != before.param.nSetting[s];
            RestoreStoreSnapshot(before);
        }
    }
    std::string names;
    for (int s = 0; s < SET_COUNT; ++s)
        if (filled[s])
            names += (names.empty() ? "" : ", ") + SlotName(s);
    return names;
}

std::string NameReads(const std::vector<Report>& reads, size_t named) {
    std::string text;
    for (size_t i = 0; i < reads.size() && i < named; ++i) {
        text += (i ? ", " : "") + DescribeRead(reads[i]);
        if (const std::string values = ValuesOfRead(reads[i]); !values.empty())
            text += " (" + values + ")";
    }
    if (reads.size() > named)
        text += " and " + std::to_string(reads.size() - named) + " more";
    return text;
}

std::string DescribeGaps(const ReadGaps& gaps) {
    std::string text = gaps.bLinkLost ? "the link to the processor was lost" : "";
    if (gaps.reads.empty())
        return text;
    text += std::string(text.empty() ? "" : "; ") + "no answer for " + std::to_string(gaps.reads.size()) +
            (gaps.reads.size() == 1 ? " read" : " reads");
    if (!gaps.bLinkLost)
        text += " after asking " + std::to_string(kAskAgainTimes) + " more times";
    return text + ": " + NameReads(gaps.reads);
}

std::vector<Report> ReadsFeeding(const std::vector<Report>& reads, const std::function<std::string()>& run) {
    std::vector<Report> feeding;
    for (const Report& read : reads)
        if (OutcomeDependsOn([&read](int variant) { HandleReport(InventedAnswer(read, variant)); }, run))
            feeding.push_back(read);
    return feeding;
}
