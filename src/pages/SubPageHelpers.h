// What the output sub-pages (delay, compressor, sound field) share: placing controls given in dialog
// units, a value box that acts on Enter, and the compressor's four values as both compressor views
// build them.
#pragma once

#include <QLineEdit>
#include <QRect>

// Dialog units to pixels for a template of `dluWidth` x `dluHeight` shown in a page area of at least
// 1024 x 520 pixels: the template fills that area; the controls keep their size when the page grows.
class CDluScale {
public:
    CDluScale(int dluWidth, int dluHeight);
    int X(int dlu) const;
    int Y(int dlu) const;
    QRect Rect(int x, int y, int w, int h) const;

private:
    double m_fX;
    double m_fY;
};

// An edit box that reports Enter (and never lets it reach a window as a dialog command). It takes a
// wheel sent to it and does nothing with it, so that a forwarded wheel never comes back to the page.
class CValueEdit : public QLineEdit {
    Q_OBJECT
public:
    CValueEdit(QWidget* parent, int id);
    // Places the box in `cell`, widened to the left when the cell is too narrow for `widest` in the
    // box's font: a line edit scrolls its text, hiding the leading digits.
    void PlaceFitting(QRect cell, const QString& widest);

signals:
    void Entered(int id);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
};

// ---- Compressor ----------------------------------------------------------------------------------
// The four values of an output compressor, in the units of its slots.
struct CompValues {
    float fThreshold = 0; // dB
    float fRatio = 1;     // n:1
    float fAttack = 1;    // ms
    float fRelease = 1;   // ms
};
// Which value a compressor slider sets.
enum CompSlider : int { COMP_THRESHOLD, COMP_RATIO, COMP_ATTACK, COMP_RELEASE };

CompValues ReadCompValues(int channel);
// The values after slider `which` moved to `pos` (threshold dB, ratio x 10, attack ms, release ms).
// With `wholeMs` (the output page) the times become whole milliseconds, rounded, since a time read
// back may sit just below one; the compressor page keeps them as stored. A time that is no number
// becomes 1 ms either way.
CompValues CompWithSlider(CompValues values, int which, int pos, bool wholeMs);
// The value text of slider `which`: "%.0fdB", "%.1f:1", "%.0fms".
QString CompText(int which, const CompValues& values);
// Stores the four values in channel's slots and sends its compressor block.
void StoreAndSendComp(int channel, const CompValues& values);
