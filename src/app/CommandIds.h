// The ids of the ribbon's and the status bar's commands, the rows of the volume strip and the ids of
// each row's controls in the two categories: the one table the frame builds from and the view's
// command table dispatches by.
#pragma once

enum : int {
    ID_SLIDER_ECHOVOL = 32806,
    ID_LABEL_ECHOVOL = 32837,
    ID_SLIDER_NOISEGATE = 32846,
    ID_SLIDER_PITCH = 32841,
    ID_CHK_MUTE1 = 32847,
    ID_CHK_MUTE2 = 32848,
    ID_CHK_MUTE3 = 32849,
    ID_CHK_MUTE4 = 32850,
    ID_BTN_LANGUAGE = 32805,
    ID_BTN_RESET = 32811,
    ID_BTN_REMOTE = 32812,
    IDC_LOAD_M1 = 32815,
    IDC_SAVE_M1 = 32819,
    IDC_RESET_M1 = 32823,
    IDC_FILE_OPEN = 32827,
    IDC_FILE_SAVE = 32828,
    ID_FILE_OPEN_OUT = 32881,
    ID_FILE_SAVE_OUT = 32882,
    ID_LOAD_OUT = 32900,
    ID_SAVE_OUT = 32904,
    ID_MODE_LOAD_FIRST = 32910, // M1..M4 of the load menu
    ID_MODE_SAVE_FIRST = 32914, // M1..M4 of the save menu
    ID_BTN_FEATURES = 32887,
    ID_BTN_INPUT_SOURCE = 32922,
    ID_PLUG_WINDOW = 32771,
    ID_FILE_OPEN = 57601,
    ID_FILE_SAVE = 57603,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_STATUS_USB = 120,
    ID_STATUS_MODE = 121,
    ID_STATUS_BYPASS = 1121,
    ID_STATUS_RESET_EQ = 1122,
};

// The rows of the volume strip.
enum class VolumeRow { Mic, Effect, Reverb, Echo, Music, Gate, Pitch };
constexpr VolumeRow kAllRows[] = {VolumeRow::Mic,   VolumeRow::Effect, VolumeRow::Reverb, VolumeRow::Echo,
                                  VolumeRow::Music, VolumeRow::Gate,   VolumeRow::Pitch};

// A row's slider, value label and mute box in the Input and the Output category; 0 where it has none.
struct StripIds {
    int inSlider, inLabel, inMute, outSlider, outLabel, outMute;
};
const StripIds& StripIdsOf(VolumeRow row);

// The ribbon categories the shell knows.
enum class Category { Input, Output, Other };
