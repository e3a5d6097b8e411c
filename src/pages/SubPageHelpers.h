// What the output sub-pages (delay, compressor, sound field) share: placing controls given in dialog
// units, a value box that acts on Enter, and the compressor's value texts.
#pragma once

#include "model/Compressor.h"

#include <QLineEdit>
#include <QRect>

#include <array>

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
// The value text of compressor value `which` (model/Compressor) as a page shows it.
QString CompQText(int which, const CompValues& values);

class CXBmpSlider;
// The four compressor sliders and their value texts (labels or read-only boxes), as the output page,
// the compressor page and the features dialog show them; each page places and labels them.
class CCompSliders {
public:
    // Makes slider `which` with its range; `text` shows its value.
    CXBmpSlider* Make(QWidget* parent, int which, int id, QWidget* text);
    CXBmpSlider* Slider(int which) const { return m_sliders[which]; }
    // The value a slider id stands for, or -1.
    int Which(int id) const;
    // Every slider at its stored value, held to its range, and every text.
    void Show(const CompValues& values) const;
    void ShowText(int which, const CompValues& values) const;

private:
    std::array<CXBmpSlider*, COMP_VALUES> m_sliders{};
    std::array<QWidget*, COMP_VALUES> m_texts{};
};
