// How an EQ page connects its band editor to the store and to filter files: the editor and the panel
// do no store or file I/O of their own; the page gives them these hooks.
#pragma once

#include "controls/EqBandEditor.h"

#include <QString>

#include <span>

struct PageState;

// Reads the filter text at `path` and writes it into each EQ of `eqs` (all of one size), each band as
// the editor writes a band; on an error nothing is sent.
EqFileResult ImportFilterFile(std::span<const int> eqs, const QString& path);
// Writes EQ `eq` as a filter text with the atomic save.
EqFileResult ExportFilterFile(int eq, const QString& path);

// Hooks that read and write EQ `eq` of the store through the model's EQ operations. Copy and paste go
// through `state`'s copied EQ, which every page of the window shares.
EqEditorHooks StoreEqHooks(int eq, int bandCount, int highestLoadedType, PageState* state);
