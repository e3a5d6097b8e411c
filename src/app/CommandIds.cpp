#include "app/CommandIds.h"

const StripIds& StripIdsOf(VolumeRow row) {
    static const StripIds rows[] = {
        {32829, 32832, ID_CHK_MUTE1, 32858, 32857, 32859},
        {32830, 32833, 0, 32861, 32860, 0},
        {32918, 32920, ID_CHK_MUTE2, 32919, 32921, 32862},
        {ID_SLIDER_ECHOVOL, ID_LABEL_ECHOVOL, ID_CHK_MUTE3, 32864, 32863, 32865},
        {32831, 32834, ID_CHK_MUTE4, 32867, 32866, 32868},
        {ID_SLIDER_NOISEGATE, 32842, 0, 32879, 32878, 0},
        {ID_SLIDER_PITCH, 0, 0, 32880, 0, 0},
    };
    return rows[int(row)];
}
