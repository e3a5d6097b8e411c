// Whether a result depends on part of the store: run it with that part as it is and set to other
// values, on a copy of the store and with every report captured instead of sent. Used to
// keep values nobody read (a lost reply, an area an old file lacks) out of what is printed or sent.
#pragma once

#include "model/ParamStore.h"

#include <functional>
#include <string>

// Every record of the store, whole.
struct StoreSnapshot {
    ParamStore param;
    DeviceInfo device;
    DeviceStatus status;
    SoundField field;
    std::array<uint8_t, kSoundFieldSize> fieldBytes{};
};
StoreSnapshot TakeStoreSnapshot();
void RestoreStoreSnapshot(const StoreSnapshot& snapshot);

// What `run` gives: its text, then the bytes of every report it sends (captured, not sent).
std::string CapturedOutcome(const std::function<std::string()>& run);

// The variants an alteration takes: different enough that any decoding tells at least one of them
// from any value the store holds (a positive, a negative and a zero value).
constexpr int kProbeVariants = 3;
// True when `run`'s outcome changes once `alter(variant)` has changed the store, for any variant.
// The store is the same afterwards; nothing is sent. The store lock is held throughout, so that a
// reply arriving meanwhile waits instead of being undone.
bool OutcomeDependsOn(const std::function<void(int variant)>& alter, const std::function<std::string()>& run);
