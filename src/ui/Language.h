// The console's two languages: paired texts chosen by the current language, and the language files
// that give every window of a template its caption and control texts by control id.
#pragma once

#include <QString>

class QWidget;

// The current language, 0 = Chinese, 1 = English: the one place it is kept (UI thread).
int Language();
void SetLanguage(int language);
inline bool IsEnglish() {
    return Language() == 1;
}

// Sets the language for its scope and gives the one before back at its end (tests, renders).
class ScopedLanguage {
public:
    explicit ScopedLanguage(int language);
    ~ScopedLanguage();
    ScopedLanguage(const ScopedLanguage&) = delete;
    ScopedLanguage& operator=(const ScopedLanguage&) = delete;

private:
    int m_nBefore;
};

// Picks the text of the current language. Both are UTF-8 literals.
QString Tr(const char* zh, const char* en);

// A window's controls keep the numeric id of their template so that the language pass can find them.
void SetCtrlId(QWidget* widget, int id);
int CtrlId(const QWidget* widget);
QWidget* FindCtrl(QWidget* parent, int id);

// The value of "IDD<t>_title" / "IDD<t>_<c>" in the language file of `language` (0 or 1); empty when
// the key is missing or has an empty value. Values are cut to 999 characters.
QString LangText(int language, int nTemplate, int ctrlId);
QString LangTitle(int language, int nTemplate);

// A child window with a template of its own (a page inside a window, a dialog it owns): the language
// pass of an enclosing window leaves its controls alone; it gets its own pass with its template.
void SetTemplateId(QWidget* widget, int nTemplate);
int TemplateIdOf(const QWidget* widget);

// Sets the caption of `window` and the text of every control of it that has an id, from the current
// language's file, skipping the controls of children that carry a template of their own. Missing or
// empty keys leave the text as it is. Does nothing for nullptr.
void ApplyTexts(QWidget* window, int nTemplate);

// Sets the text of a label, button, check box, radio or group box; other widgets are left alone.
void SetWidgetText(QWidget* widget, const QString& text);

// Qt's own texts (the Yes/No/Cancel of message boxes, the file dialogs) in the current language: the
// Chinese catalogue of Qt is installed while the language is Chinese and removed for English. Without the
// catalogue on the system Qt's texts stay English.
void ApplyQtTranslations();
