// The volume strip of both ribbon categories: each row's slider writes its slot, the labels and the
// pitch title follow the store, the microphone and music volumes stop at the machine's maximum.
#pragma once

#include "app/CommandIds.h"

class IFrameIntents;

class CVolumeStrip {
public:
    void SetFrame(IFrameIntents* frame) { m_pFrame = frame; }

    // The row's slider was moved in the category shown.
    void Changed(VolumeRow row);
    // Both sliders by `delta` within their range, then as if moved.
    void Step(VolumeRow row, int delta);
    void ToggleMute(VolumeRow row);
    // The row's slider in a category; the slot's value without a strip.
    int SliderValue(VolumeRow row, bool output) const;
    // Sliders and labels from the store.
    void Refresh();

private:
    void SetSliders(VolumeRow row, int value);
    void SetLabels(VolumeRow row);

    IFrameIntents* m_pFrame = nullptr;
};
