// What the main view asks of the page it hosts. Pages that have no equaliser keep the defaults.
#pragma once

#include "ui/Colors.h"

#include <QWidget>

class CPage : public QWidget {
    Q_OBJECT
public:
    explicit CPage(int nTemplate, QWidget* parent = nullptr) : QWidget(parent), m_nTemplate(nTemplate) {
        setAutoFillBackground(true);
        QPalette pal = palette();
        pal.setColor(QPalette::Window, PageColor());
        setPalette(pal);
    }
    int TemplateId() const { return m_nTemplate; }

    // Reloads every control from the store (after a synchronisation, a file load, a page switch).
    virtual void Refresh() {}
    // Re-applies the texts of the current language.
    virtual void ReloadTexts() {}

    // The current equaliser of the page, for the status-bar bypass and reset and the P key.
    virtual bool HasEq() const { return false; }
    virtual bool EqBypassed() const { return false; }
    virtual void ToggleEqBypass() {}
    virtual void ResetEq() {}
    // Left Ctrl + digit: select band `band` (0-based) of the current equaliser.
    virtual void PickBand(int band) { (void)band; }

private:
    int m_nTemplate;
};
