// The nine effect parameters of microphone sets A and B (reverb, echo, frequency shifter): their
// ranges, value texts and setters, and the list-and-slider editor the music page shows for its set.
#pragma once

#include <QObject>
#include <QString>
#include <QTableWidget>

class CXBmpSlider;
class QLabel;
class QLineEdit;

constexpr int kEffectRows = 9;
enum EffectRowId : int {
    EFFECT_REVERB_LEVEL = 0,
    EFFECT_REVERB_PREDELAY = 1,
    EFFECT_REVERB_TIME = 2,
    EFFECT_ECHO_LEVEL = 3,
    EFFECT_ECHO_PREDELAY = 4,
    EFFECT_ECHO_TIME = 5,
    EFFECT_ECHO_START = 6,
    EFFECT_ECHO_DECAY = 7,
    EFFECT_SHIFT = 8,
};

struct EffectRowInfo {
    const char* szZh;
    const char* szEn;
    int nSlotA, nSlotB;
    bool bFloatSlot; // the slot holds a float, read back by truncation
};

// nullptr outside 0..8.
const EffectRowInfo* EffectRow(int row);
QString EffectRowName(int row);

// Set 0 is A, 1 is B. The row's setter: the slot first, then the reports of the row.
void SetEffectParam(int set, int row, int v);
// The row's slot as a whole number; 0 outside 0..8.
int GetEffectParam(int set, int row);
// The row's value text in the current language.
QString FormatEffectValue(int row, int v);
struct Setting;
// The settings schema's row of set A's slot: the value slider's range and the value text.
const Setting& EffectSetting(int row);

// The effect parameter list (9 rows x 3 columns) with its value slider, read-only value box and
// name label. The owner places the four controls; the list handles its keys and wheel itself.
class CEffectParamList : public QTableWidget {
    Q_OBJECT
public:
    static constexpr int IDC_LIST = 1141, IDC_NAME = 1124, IDC_SLIDER = 1000, IDC_EDIT = 1038;
    static constexpr int kMusicMode = 2; // shows set B, greyed; nothing can be changed

    explicit CEffectParamList(QWidget* parent);

    // Columns and rows in the current language.
    void Build();
    // Values of `mode`'s set (0 A, 1 B, 2 Music: set B's), the value box, the slider, the colour.
    void Refresh(int mode);
    int Mode() const { return m_nMode; }
    int Set() const { return m_nMode == 0 ? 0 : 1; }
    bool Editable() const { return m_nMode == 0 || m_nMode == 1; }
    void SelectRow(int row);
    int CurrentRow() const { return m_nRow; }
    // +1 or -1, held to the row's range, then applied.
    void Step(int delta);
    // The slider handler: the row's setter for the set, then the texts.
    void ApplySliderPos(int pos);

    CXBmpSlider* Slider() const { return m_pSlider; }
    QLineEdit* ValueBox() const { return m_pEdit; }
    QLabel* NameLabel() const { return m_pName; }
    static QColor TextColor(int mode);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void SetValueCell(int row, const QString& text);

    int m_nMode = 0;
    int m_nRow = 0;
    CXBmpSlider* m_pSlider = nullptr;
    QLineEdit* m_pEdit = nullptr;
    QLabel* m_pName = nullptr;
};
