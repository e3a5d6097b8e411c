#include "ui/Language.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFile>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QTranslator>
#include <QVariant>
#include <QWidget>

namespace {

int g_nLanguage = 0;

constexpr const char* kIdProperty = "m7qCtrlId";
constexpr const char* kTemplateProperty = "m7qTemplate";
constexpr int kMaxValue = 999;

// The [String] section of one language file; read once.
const QHash<QString, QString>& Strings(int language) {
    static QHash<QString, QString> tables[2];
    static bool loaded[2] = {false, false};
    const int i = language == 1 ? 1 : 0;
    if (!loaded[i]) {
        loaded[i] = true;
        QFile file(i == 1 ? QStringLiteral(":/resources/lang/en.ini")
                          : QStringLiteral(":/resources/lang/zh.ini"));
        if (file.open(QIODevice::ReadOnly)) {
            const QString text = QString::fromUtf8(file.readAll());
            bool inStrings = false;
            for (QString line : text.split(QLatin1Char('\n'))) {
                if (line.endsWith(QLatin1Char('\r')))
                    line.chop(1);
                const QString trimmed = line.trimmed();
                if (trimmed.startsWith(QLatin1String("//")) || trimmed.startsWith(QLatin1Char(';')))
                    continue;
                if (trimmed.startsWith(QLatin1Char('['))) {
                    inStrings = trimmed.compare(QLatin1String("[String]"), Qt::CaseInsensitive) == 0;
                    continue;
                }
                const qsizetype eq = line.indexOf(QLatin1Char('='));
                if (!inStrings || eq <= 0)
                    continue;
                // A value runs to the end of its line.
                tables[i].insert(line.left(eq).trimmed().toUpper(), line.mid(eq + 1).left(kMaxValue));
            }
        }
    }
    return tables[i];
}

QString Lookup(int language, const QString& key) {
    return Strings(language).value(key.toUpper());
}

} // namespace

int Language() {
    return g_nLanguage;
}

void SetLanguage(int language) {
    g_nLanguage = language == 1 ? 1 : 0;
}

ScopedLanguage::ScopedLanguage(int language) : m_nBefore(Language()) {
    SetLanguage(language);
}

ScopedLanguage::~ScopedLanguage() {
    SetLanguage(m_nBefore);
}

QString Tr(const char* zh, const char* en) {
    return QString::fromUtf8(g_nLanguage == 1 ? en : zh);
}

void SetCtrlId(QWidget* widget, int id) {
    if (widget)
        widget->setProperty(kIdProperty, id);
}

int CtrlId(const QWidget* widget) {
    if (!widget)
        return 0;
    const QVariant v = widget->property(kIdProperty);
    return v.isValid() ? v.toInt() : 0;
}

QWidget* FindCtrl(QWidget* parent, int id) {
    if (!parent)
        return nullptr;
    for (QWidget* w : parent->findChildren<QWidget*>())
        if (CtrlId(w) == id)
            return w;
    return nullptr;
}

void SetTemplateId(QWidget* widget, int nTemplate) {
    if (widget)
        widget->setProperty(kTemplateProperty, nTemplate);
}

int TemplateIdOf(const QWidget* widget) {
    if (!widget)
        return 0;
    const QVariant v = widget->property(kTemplateProperty);
    return v.isValid() ? v.toInt() : 0;
}

QString LangText(int language, int nTemplate, int ctrlId) {
    return Lookup(language, QStringLiteral("IDD%1_%2").arg(nTemplate).arg(ctrlId));
}

QString LangTitle(int language, int nTemplate) {
    return Lookup(language, QStringLiteral("IDD%1_title").arg(nTemplate));
}

void SetWidgetText(QWidget* widget, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(text);
    else if (auto* group = qobject_cast<QGroupBox*>(widget))
        group->setTitle(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(widget))
        edit->setText(text);
}

void ApplyTexts(QWidget* window, int nTemplate) {
    if (!window)
        return;
    const QString title = LangTitle(g_nLanguage, nTemplate);
    if (!title.isEmpty())
        window->setWindowTitle(title);
    // Nested group boxes hold controls too, so every descendant with an id is visited, except those
    // inside a child window of another template: the same ids mean other controls there.
    auto ownTemplate = [window](const QWidget* w) {
        for (const QWidget* p = w; p && p != window; p = p->parentWidget())
            if (TemplateIdOf(p) != 0)
                return true;
        return false;
    };
    for (QWidget* w : window->findChildren<QWidget*>()) {
        const int id = CtrlId(w);
        if (id == 0 || ownTemplate(w))
            continue;
        const QString text = LangText(g_nLanguage, nTemplate, id);
        if (!text.isEmpty())
            SetWidgetText(w, text);
    }
}

void ApplyQtTranslations() {
    static QTranslator* chinese = nullptr;
    static bool loaded = false;
    if (!chinese) {
        chinese = new QTranslator(QCoreApplication::instance());
        loaded =
            chinese->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    }
    QCoreApplication::removeTranslator(chinese);
    if (loaded && !IsEnglish())
        QCoreApplication::installTranslator(chinese);
}
