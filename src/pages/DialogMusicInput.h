// The music source window: which source the processor plays and the input level of each source.
// Eight rows exist; only optical, coaxial and AUX 1 are shown, the others are kept hidden and still
// follow the store. The Bluetooth source has no row.
#pragma once

#include "pages/Page.h"
#include "pages/PageHelpers.h"

#include <array>

class QRadioButton;

class CDialogMusicInput : public CPage {
    Q_OBJECT
public:
    static constexpr int kRows = 8;
    static constexpr std::array<int, kRows> kRadioIds = {1190, 1191, 1192, 1193, 1194, 1195, 1196, 1197};
    static constexpr std::array<int, kRows> kSliderIds = {1041, 1042, 1043, 1044, 1045, 1046, 1047, 1048};
    static constexpr std::array<int, kRows> kTextIds = {1005, 1007, 1006, 1002, 1003, 1131, 1008, 1009};

    CDialogMusicInput(const PageContext& context, int arg, QWidget* parent = nullptr);

    void Refresh() override;
    void ReloadTexts() override;
    void RefreshLive(uint32_t regions) override;
    // The row whose radio is checked, 0..7; anything else: none.
    int SelectedRow() const { return m_nSelected; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnRadio(int row);

    CBindings m_bindings;
    std::array<QRadioButton*, kRows> m_pRadio{};
    int m_nSelected = 0;
};
