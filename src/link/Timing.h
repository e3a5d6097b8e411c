// Every fixed delay and time-out of the link and its procedures, in one place. Settle delays may be
// scaled down (tests, the simulator demo, m7qctl --fast); pacing by replies never is.
#pragma once

#include <chrono>

namespace timing {
using ms = std::chrono::milliseconds;

// Pacing: not scaled.
constexpr ms kReplyWait{1800};      // longest wait for the previous command's reply
constexpr ms kReaderExitWait{1000}; // closing waits this long for the reader thread
constexpr ms kReaderPoll{100};      // the reader's read time-out, so that it sees a close promptly

// Settle delays: scaled by SetSettleScale.
constexpr ms kConnectDelay{250};
constexpr ms kReadAllStart{3200};
constexpr ms kReadAllEnd{200};
constexpr ms kWriteAllStart{100};
constexpr ms kWriteAllEnd{50};
constexpr ms kSyncFinished{150};
constexpr ms kLivePoll{300};
constexpr ms kModeSetToStore{20};
constexpr ms kFadeStep{30};
constexpr ms kMusicRampStep{100};
constexpr ms kPlugWait{6000};      // a plug's transmission or node report: 600 polls of 10 ms
constexpr ms kPlugLoadStart{2000}; // plug data load: before the node list is asked for
constexpr ms kNodeListWait{6000};  // the node list: 200 polls of 30 ms
constexpr ms kPlugStepPause{20};   // after each plug transmission and each scene step
constexpr ms kPlugLoadEnd{100};    // plug data load and network reset: after the last read
constexpr ms kSwitchAllEnd{50};    // switch all: after the last plug
constexpr ms kSceneWaitUnit{1000}; // a scene's wait step counts in these
constexpr ms kPlugSetDialog{100};  // a single plug set: delay before the wait dialog shows
constexpr ms kWaitFinish{1000};    // a finished wait shows its last text this long
constexpr ms kWaitDialog{20000};
constexpr ms kSyncDialog{30000};
} // namespace timing

// 1.0 by default; 0.01 makes a read-all start after 32 ms.
void SetSettleScale(double scale);
double SettleScale();
std::chrono::milliseconds Settle(std::chrono::milliseconds delay);
void SettleSleep(std::chrono::milliseconds delay);
