#include "pages/EqHooks.h"

#include "files/EqFit.h"
#include "files/FilterText.h"
#include "model/Compound.h"
#include "model/EqIo.h"
#include "model/ParamStore.h"
#include "pages/Page.h"

EqFileResult ImportFilterFile(std::span<const int> eqs, const QString& path) {
    if (eqs.empty())
        return {false, QString()};
    const FilterTextResult read = ReadFilterFile(path.toStdString(), EqUserBands(eqs.front()));
    if (!read.bOk)
        return {false, QString::fromStdString(FormatFilterNote(read.error))};
    for (int eq : eqs)
        ApplyEqBands(eq, read.bands);
    QStringList warnings;
    for (const FilterTextNote& note : ImportNotes(read, eqs.front()))
        warnings << QString::fromStdString(FormatFilterNote(note));
    return {true, warnings.join(QLatin1Char('\n'))};
}

EqFileResult ExportFilterFile(int eq, const QString& path) {
    const std::string title = IsEqId(eq) ? kEqNumbers[eq].szName : "";
    const FileResult written =
        WriteFilterFile(path.toStdString(), WriteFilterText(ReadEqBandSettings(eq), title));
    if (!written.bOk)
        return {false, QString::fromStdString(written.strError)};
    return {true, QString()};
}

EqEditorHooks StoreEqHooks(int eq, int bandCount, int highestLoadedType, PageState* state) {
    EqEditorHooks hooks;
    hooks.eq = eq;
    hooks.nBandCount = bandCount;
    hooks.nHighestLoadedType = highestLoadedType;
    hooks.readBands = [](int e, int count) { return ReadEqBands(e, count); };
    hooks.readBypass = [](int e) {
        const int slot = EqBypassSlot(e);
        if (slot < 0)
            return -1;
        auto lock = LockStore();
        return g_Param.nSetting[slot] != 0 ? 1 : 0;
    };
    hooks.writeBand = [](int e, int band, const BandValues& v, std::span<const BandValues> companions) {
        WriteEqBand(e, band, v, companions);
    };
    hooks.copyEq = [state](int e) {
        if (state)
            state->nCopiedEq = e;
    };
    hooks.pasteEq = [state](int target) {
        return state && state->nCopiedEq != -1 && CopyEq(state->nCopiedEq, target);
    };
    hooks.importFilters = [](int e, const QString& path) {
        const std::array<int, 1> eqs{e};
        return ImportFilterFile(eqs, path);
    };
    hooks.exportFilters = [](int e, const QString& path) { return ExportFilterFile(e, path); };
    hooks.applyFit = [](int e, const EqFitOutcome& fit) {
        return ApplyEqFit(std::span<const int>(&e, 1), fit);
    };
    return hooks;
}
