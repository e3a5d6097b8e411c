#include "pages/DialogEfx.h"

#include "controls/EqBandEditor.h"
#include "controls/EqPanel.h"
#include "link/Events.h"
#include "model/Defaults.h"
#include "model/Eq.h"
#include "model/Setters.h"
#include "pages/AutoEqDlg.h"
#include "pages/EqHooks.h"
#include "pages/PageHelpers.h"
#include "ui/Language.h"
#include "ui/Templates.h"

#include <QLabel>
#include <QPainter>
#include <QResizeEvent>
#include <QSvgRenderer>

#include <algorithm>

namespace {

// Dialog units of the template to pixels at the page's minimum size.
QRect Dlu(int x, int y, int w, int h) {
    return QRect(qRound(x * 1.5), qRound(y * 1.625), qRound(w * 1.5), qRound(h * 1.625));
}

constexpr int kBackW = 87, kBackH = 78; // 58 x 48 dialog units, kept on resize

} // namespace

int CDialogEfx::EqOfIndex(int index) {
    return EQ_REVERB_A + std::clamp(index, 0, kEffectEqCount - 1);
}

CDialogEfx::CDialogEfx(const PageContext& context, int eqIndex, QWidget* parent)
    : CPage(kTemplateEffectsPage, context, parent) {
    m_nIndex = eqIndex >= 0 && eqIndex < kEffectEqCount ? eqIndex : 0;
    m_pBanner = MakeText(this, IDC_BANNER);
    m_pBack = new CPageButton(this, IDC_BACK, false);
    connect(m_pBack, &QAbstractButton::clicked, this, &CDialogEfx::OnBack);
    m_pEqPanel = new CEqPanel(this);
    SetCtrlId(m_pEqPanel, IDC_EQ_PANEL);
    m_pEditor = new CEqBandEditor(m_pEqPanel, kTemplateEffectsPage, this);
    m_pEditor->SetHooks(StoreEqHooks(EqOfIndex(m_nIndex), kBandCount, EQ_HS, &State()));
    InstallAutoEq(this, m_pEditor);
    resize(1024, 520);
    LayoutControls();
    ReloadTexts();
    new CWheelForwarder(this, {m_pEqPanel});
}

CDialogEfx::~CDialogEfx() = default;

void CDialogEfx::LayoutControls() {
    const int w = std::max(width(), 1024);
    const int h = std::max(height(), 520);
    m_pBanner->setGeometry(Dlu(17, 3, 142, 38));
    m_pBack->setGeometry(w - 2 - kBackW, 2, kBackW, kBackH);
    const QRect grid = Dlu(0, 155, 179, 142);
    m_pEditor->setGeometry(grid.x(), grid.y(), grid.width(), h - grid.y() - 2);
    const QRect panel = Dlu(182, 155, 489, 159);
    m_pEqPanel->setGeometry(panel.x(), panel.y(), w - panel.x() - 2, h - panel.y() - 2);
}

void CDialogEfx::resizeEvent(QResizeEvent* event) {
    CPage::resizeEvent(event);
    LayoutControls();
    UpdateBanner();
}

QString CDialogEfx::BannerTitle() const {
    static const char* const kZh[kEffectEqCount] = {"混响A均衡", "混响B均衡", "回声A均衡", "回声B均衡"};
    static const char* const kEn[kEffectEqCount] = {"Reverb A EQ", "Reverb B EQ", "Echo A EQ", "Echo B EQ"};
    return Tr(kZh[m_nIndex], kEn[m_nIndex]);
}

void CDialogEfx::UpdateBanner() {
    const QSize size = m_pBanner->size();
    if (size.isEmpty())
        return;
    m_pBanner->setPixmap(BannerPixmap(this, size, BannerTitle()));
}

void CDialogEfx::Retarget(int index) {
    if (index < 0 || index >= kEffectEqCount)
        return;
    m_nIndex = index;
    m_pEditor->SetEq(EqOfIndex(index));
    ReloadTexts(); // banner, grid in the language, bands from the store
}

void CDialogEfx::ReloadTexts() {
    ApplyTexts(this, kTemplateEffectsPage);
    m_pBack->setText(Tr("返回", "Back"));
    m_pEqPanel->ReloadTexts();
    m_pEditor->ReloadTexts();
    UpdateBanner();
    Refresh();
}

void CDialogEfx::Refresh() {
    // Clears the selection and shows the grid; a stored type above HS loads as off.
    m_pEditor->LoadEqFromStore();
}

void CDialogEfx::RefreshLive(uint32_t regions) {
    if (regions & STORE_PARAMS)
        m_pEqPanel->SetBypass(EqBypassed());
}

bool CDialogEfx::EqBypassed() const {
    return SlotValue(EqBypassSlot(EqOfIndex(m_nIndex))) != 0;
}

void CDialogEfx::ToggleEqBypass() {
    const int slot = EqBypassSlot(EqOfIndex(m_nIndex));
    const int value = SlotValue(slot) == 0 ? 1 : 0;
    SetSlot(slot, value);
    m_pEqPanel->SetBypass(value != 0);
}

void CDialogEfx::ResetEq() {
    ::ResetEq(EqOfIndex(m_nIndex));
    Refresh();
}

void CDialogEfx::PickBand(int band) {
    if (band < 0 || band >= kBandCount)
        return; // seven bands here
    m_pEditor->PickBand(band);
}

void CDialogEfx::OnBack() {
    emit OpenPage(kTemplateMusicPage, State().nMusicPageMode);
}
