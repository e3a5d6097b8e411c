// What pages share: store reads, safe conversions and C-style value texts, the image push button and
// the row of channel and page buttons of the output pages, wheel forwarding, and slider bindings that
// serve both a page's refresh and its slider handler.
#pragma once

#include "ui/Numbers.h"

#include <QAbstractButton>
#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <vector>

class CPage;
struct Setting;
class CXBmpSlider;
class QLabel;
class QPixmap;
class QSvgRenderer;
class QWheelEvent;

// ---- Store and values ------------------------------------------------------------------------------
int SlotValue(int slot);
float SlotFloatValue(int slot);
// An SVG image of resources/images/, loaded once.
QSvgRenderer* PageImage(const QString& name);
// The pages' banner: the banner image of `size` with `title` in white on it.
QPixmap BannerPixmap(const QWidget* page, QSize size, const QString& title);
// A label with a control id, centred unless told otherwise.
QLabel* MakeText(QWidget* parent, int id, Qt::Alignment align = Qt::AlignCenter);

// ---- Buttons -----------------------------------------------------------------------------------------
// The output pages' image push button: drawn from the output_button images, shown pressed on demand.
class CPageButton : public QAbstractButton {
    Q_OBJECT
public:
    // `pageButton`: a button that opens another page (drawn with an arrow).
    CPageButton(QWidget* parent, int id, bool pageButton);
    void SetShownPressed(bool pressed);
    bool ShownPressed() const { return m_bShownPressed; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_bPage;
    bool m_bShownPressed = false;
};

// The row of the output pages: eight channel buttons and the Location / Delay / Comp page buttons.
// The page buttons ask the page for their template with the current channel; a channel button calls
// `onChannel` (the output page selects the channel, the other pages open the output page on it).
class CChannelButtonRow {
public:
    static constexpr std::array<int, 8> kChannelIds = {1069, 1072, 1070, 1071, 1076, 1077, 1078, 1079};
    static constexpr std::array<int, 3> kPageIds = {1073, 1074, 1075};
    static constexpr std::array<int, 3> kPageTemplates = {334, 333, 346}; // sound field, delay, compressor

    CChannelButtonRow(CPage* page, std::function<int()> currentChannel, std::function<void(int)> onChannel);
    CPageButton* Channel(int c) const { return m_channels[c]; }
    CPageButton* PageButton(int j) const { return m_pages[j]; }
    // Shows channel `c`'s button pressed and, on a sub-page, the button of `nTemplate`.
    void ShowPressed(int c, int nTemplate = 0);

private:
    std::array<CPageButton*, 8> m_channels{};
    std::array<CPageButton*, 3> m_pages{};
};

// ---- Wheel -----------------------------------------------------------------------------------------
// Sends a wheel turned anywhere over a page to the focused control that takes it: a bitmap slider or
// one of the extra widgets named (an EQ panel, a delay panel). Installs itself on every child.
class CWheelForwarder : public QObject {
    Q_OBJECT
public:
    explicit CWheelForwarder(QWidget* page, std::vector<QWidget*> extra = {});
    void Watch(QWidget* root); // again, after controls are added
    bool Forward(QWheelEvent* event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* Target() const;
    QWidget* m_pPage;
    std::vector<QWidget*> m_extra;
};

// ---- Bindings ---------------------------------------------------------------------------------------
// One slider with its value text and its row of the settings schema, declared once. The row gives
// the target, range, text and merge policy. Refresh shows the store; Apply is the slider handler:
// the text, then the value written to the row of every channel in `channels` (slot + channel), or to
// the row alone when `channels` is empty.
struct CSlotBinding {
    CXBmpSlider* pSlider = nullptr;
    QLabel* pText = nullptr;
    const Setting* pSetting = nullptr;
    // The text shows the slider's position, held to the range, rather than the stored value.
    bool bTextOfPos = false;
    std::function<std::vector<int>()> channels;

    // The row of `channel` (the row itself without channels).
    const Setting* RowOf(int channel) const;
    // `channel` is the channel the page shows.
    void Refresh(int channel = 0) const;
    void Apply(int pos) const;
    void ShowText(int pos) const;
};

// A page's bindings, found by the slider's control id.
class CBindings {
public:
    // Binds `slider` (given the row's range) and `text` to the row of `name` in the schema.
    CSlotBinding& Add(const char* name, CXBmpSlider* slider, QLabel* text,
                      std::function<std::vector<int>()> channels = {});
    // The slider handler: applies the binding of `id`; false when no binding has that id.
    bool Apply(int id, int pos) const;
    void Refresh(int channel = 0) const;
    const CSlotBinding* Find(int id) const;

private:
    std::vector<CSlotBinding> m_bindings;
};
