// The two language files as the console reads them: their format, matching key sets, the texts each
// window gets, and how missing or empty entries leave a control's text alone.
#include "ui/Language.h"

#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QStringList>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// Keys that exist in Chinese only: the compressor page's last three channel buttons have no English
// entry, and the wait dialog is Chinese in both languages.
const QSet<QString> kChineseOnly = {"IDD346_1077", "IDD346_1078", "IDD346_1079", "IDD486_title", "IDD486_3"};

std::string S(const QString& s) {
    return s.toStdString();
}

// One file read independently of the console's reader, so the two can be compared.
struct RawLangFile {
    QByteArray bytes;
    QStringList problems;
    QStringList keys; // file order
    QHash<QString, QString> values;
};

RawLangFile ReadRaw(int language) {
    RawLangFile f;
    QFile file(language == 1 ? ":/resources/lang/en.ini" : ":/resources/lang/zh.ini");
    if (!file.open(QIODevice::ReadOnly)) {
        f.problems << "cannot open";
        return f;
    }
    f.bytes = file.readAll();
    if (f.bytes.startsWith("\xEF\xBB\xBF"))
        f.problems << "byte-order mark";
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(f.bytes);
    if (decoder.hasError())
        f.problems << "not UTF-8";
    if (!text.endsWith("\r\n"))
        f.problems << "last line does not end in CR LF";
    static const QRegularExpression keyLine("^(IDD[0-9]+_(?:title|[0-9]+))=(.*)$");
    QStringList lines = text.split("\r\n");
    lines.removeLast(); // after the final CR LF
    bool inSection = false;
    for (const QString& line : lines) {
        if (line.contains('\r') || line.contains('\n')) {
            f.problems << "bare CR or LF in: " + line.left(40);
            continue;
        }
        if (line.startsWith("//"))
            continue;
        if (line == "[String]") {
            if (inSection)
                f.problems << "second [String] section";
            inSection = true;
            continue;
        }
        const QRegularExpressionMatch m = keyLine.match(line);
        if (!m.hasMatch() || !inSection) {
            f.problems << "unexpected line: " + line.left(40);
            continue;
        }
        const QString key = m.captured(1);
        if (f.values.contains(key))
            f.problems << "duplicate key " + key;
        f.keys << key;
        f.values.insert(key, m.captured(2));
    }
    return f;
}

const RawLangFile& Raw(int language) {
    static const RawLangFile files[2] = {ReadRaw(0), ReadRaw(1)};
    return files[language == 1 ? 1 : 0];
}

// What the console's reader gives for a key of the files.
QString ReaderValue(int language, const QString& key) {
    const QStringList parts = key.mid(3).split('_');
    const int nTemplate = parts[0].toInt();
    return parts[1] == "title" ? LangTitle(language, nTemplate)
                               : LangText(language, nTemplate, parts[1].toInt());
}

void ExpectText(int nTemplate, int id, const char* zh, const char* en) {
    SCOPED_TRACE("IDD" + std::to_string(nTemplate) + "_" + std::to_string(id));
    EXPECT_EQ(S(LangText(0, nTemplate, id)), zh);
    EXPECT_EQ(S(LangText(1, nTemplate, id)), en);
}

void ExpectTitle(int nTemplate, const char* zh, const char* en) {
    SCOPED_TRACE("IDD" + std::to_string(nTemplate) + "_title");
    EXPECT_EQ(S(LangTitle(0, nTemplate)), zh);
    EXPECT_EQ(S(LangTitle(1, nTemplate)), en);
}

QSet<QString> TemplatesOf(const RawLangFile& f) {
    QSet<QString> templates;
    for (const QString& key : f.keys)
        templates.insert(key.section('_', 0, 0));
    return templates;
}

} // namespace

TEST(LanguageFiles, AreUtf8WithCrLfLinesAndOneStringSection) {
    for (int language : {0, 1}) {
        SCOPED_TRACE(language == 1 ? "en.ini" : "zh.ini");
        const RawLangFile& f = Raw(language);
        EXPECT_TRUE(f.problems.isEmpty()) << S(f.problems.join("; "));
        EXPECT_GT(f.keys.size(), 250);
        // Every line break is CR LF.
        EXPECT_EQ(f.bytes.count('\n'), f.bytes.count("\r\n"));
        EXPECT_EQ(f.bytes.count('\r'), f.bytes.count("\r\n"));
    }
}

TEST(LanguageFiles, KeySetsMatchExceptTheChineseOnlyKeys) {
    const QSet<QString> zh(Raw(0).keys.begin(), Raw(0).keys.end());
    const QSet<QString> en(Raw(1).keys.begin(), Raw(1).keys.end());
    EXPECT_EQ(QSet<QString>(en).subtract(zh), QSet<QString>());
    QStringList onlyZh = QSet<QString>(zh).subtract(en).values();
    onlyZh.sort();
    QStringList expected = kChineseOnly.values();
    expected.sort();
    EXPECT_EQ(S(onlyZh.join(",")), S(expected.join(",")));

    // Every window whose texts switch has entries in both files.
    const QSet<QString> zhTemplates = TemplatesOf(Raw(0));
    for (int t : {313, 333, 334, 335, 344, 346, 347, 372, 373, 385, 410,
                  421, 424, 479, 480, 481, 482, 484, 485, 512, 513}) {
        const QString name = QString("IDD%1").arg(t);
        EXPECT_TRUE(zhTemplates.contains(name)) << t;
        EXPECT_TRUE(TemplatesOf(Raw(1)).contains(name)) << t;
    }
}

TEST(LanguageFiles, ReaderReturnsEveryValueExactlyAsWritten) {
    for (int language : {0, 1}) {
        for (const QString& key : Raw(language).keys) {
            SCOPED_TRACE(S(key));
            const QString raw = Raw(language).values.value(key);
            // Leading and trailing blanks belong to the text ("High Freq ", the dimmer warning's indent).
            EXPECT_EQ(S(ReaderValue(language, key)), S(raw));
            // The only deliberately empty entry is the English dimmer warning 1239.
            if (!(language == 1 && key == "IDD484_1239")) {
                EXPECT_FALSE(raw.isEmpty());
            }
            EXPECT_LE(raw.size(), 999);
        }
    }
}

TEST(LanguageFiles, OutputPageTexts) {
    const int channelButtons[8] = {1069, 1072, 1070, 1071, 1076, 1077, 1078, 1079};
    const int mutes[8] = {1045, 1047, 1048, 1049, 1050, 1051, 1052, 1053};
    const int links[8] = {1062, 1063, 1064, 1065, 1066, 1067, 1068, 1080};
    for (int c = 0; c < 8; ++c) {
        const std::string n = std::to_string(c + 1);
        ExpectText(385, channelButtons[c], ("通道" + n).c_str(), ("CH " + n).c_str());
        ExpectText(385, mutes[c], "静音", "Mute");
        ExpectText(385, 1054 + c, "相位180°", "Phase 180°");
        ExpectText(385, links[c], "齐调", "Linked");
    }
    ExpectText(385, 1073, "声场定位", "Location");
    ExpectText(385, 1074, "延时调整", "Delay");
    ExpectText(385, 1075, "输出压限", "Comp");
    ExpectText(385, 1123, "直达声音量", "Direct ");
    ExpectText(385, 1126, "音乐音量", "Music");
    ExpectText(385, 1190, "高频延时", "H.Freq Delay");
    ExpectText(385, 1191, "通道延时", "Channel delay");
    ExpectText(385, 1081, "压限启用", "Compressor Switch");
    ExpectText(385, 1005, "阀(阈)", "Threshold");
    ExpectText(385, 1007, "衰减比例", "Decay ratio");
    ExpectText(385, 1215, "类型", "Type");
    // The page has no caption, and the band number and value texts are written by the page.
    ExpectTitle(385, "", "");
    ExpectText(385, 1203, "", "");
    ExpectText(385, 1127, "", "");
}

TEST(LanguageFiles, EqEditorTextsOnTheThreeEqPages) {
    for (int t : {313, 385, 421}) {
        ExpectText(t, 1199, "类型", "EQ Type");
        ExpectText(t, 1200, "频率", "F");
        ExpectText(t, 1202, "Q值", "Q");
        ExpectText(t, 1204, "参量", "PEQ");
        ExpectText(t, 1208, "高架", "HS");
    }
    // The crossover label exists on the output page only.
    ExpectText(313, 1215, "", "");
    ExpectText(421, 1215, "", "");
}

TEST(LanguageFiles, PageTexts) {
    // Music page: mode buttons, microphone columns, route radios in A/B pairs.
    ExpectText(313, 1068, "话筒通道A", "Mic CH A");
    ExpectText(313, 1070, "音乐", "Music");
    ExpectText(313, 1185, "有线话筒(2)", "Wire Mic(2)");
    ExpectText(313, 1188, "无线话筒(4)", "Wireless Mic(4)");
    for (int k = 0; k < 4; ++k) {
        ExpectText(313, 1190 + 2 * k, "通道A", "CH A");
        ExpectText(313, 1191 + 2 * k, "通道B", "CH B");
    }
    ExpectText(313, 1146, "点击下面方框进入混响均衡调节界面", "Click to enter reverb EQ");
    ExpectText(313, 1142, "音乐电平", "Music Peak");

    // Delay page: the name labels do not follow the id order.
    const int nameLabels[8] = {1123, 1124, 1125, 1126, 1131, 1135, 1132, 1136};
    for (int c = 0; c < 8; ++c) {
        const std::string n = std::to_string(c + 1);
        ExpectText(333, nameLabels[c], ("通道" + n).c_str(), ("CH " + n).c_str());
        ExpectText(333, 1293 + c, "开关", "ON");
        ExpectText(333, 1190 + 2 * c, "高频延时", "High Freq ");
        ExpectText(333, 1191 + 2 * c, "通道延时", "Channel");
    }
    ExpectText(333, 1074, "延时调整", "Delay");

    // Sound-field page.
    for (int id : {1231, 1232, 1233, 1234, 1235, 1236, 1240, 1241})
        ExpectText(334, id, "定位", "Locate");
    ExpectText(334, 1005, "长度单位:米(m)", "Unit:m");
    ExpectText(334, 1006, "听众位置", "Audience source");
    ExpectText(334, 1239, "立即修改", "Modify");
    ExpectText(334, 1123, "", ""); // role labels are written by the page

    // Compressor page: its own button captions, three of them Chinese only.
    ExpectText(346, 1069, "通道1", "Main");
    ExpectText(346, 1076, "通道5", "Top");
    ExpectText(346, 1073, "声道定位", "Location");
    ExpectText(346, 1079, "通道8", "");
    ExpectText(346, 1220, "选择通道", "Select CH");
    ExpectText(346, 1007, "衰减比例", "Ratio");

    // Features dialog.
    ExpectTitle(513, "特色功能", "Features");
    ExpectText(513, 1040, "启用", "ON ");
    ExpectText(513, 1044, "压限启用", "ON");
    ExpectText(513, 1021,
               "当检测到话筒信号时，超低音量自动调节成所设置的超低比例，1秒之后，超低音量逐渐恢复成正常比例",
               "When detected mic level,the SUB vol is auto decay.");
    ExpectText(513, 1022, "音乐输入电平:", "Music Level:");

    // Music input dialog.
    ExpectTitle(512, "音源设置", "Music source setting");
    ExpectText(512, 1190, "光纤音量", "SPDIF");
    ExpectText(512, 1196, "AUX音量", "AUX");
}

TEST(LanguageFiles, DialogTexts) {
    ExpectTitle(335, "机器设置", "Machine Set");
    ExpectText(335, 1191, "随模式保存", "By mode ");
    ExpectText(335, 1238, "机器开机指定模式", "机器开机指定模式");
    ExpectText(335, 32823, "M1", "M1");
    ExpectText(335, 2, "取消", "Cancel");
    ExpectText(335, 1239, "", ""); // two-line label keeps its own text

    ExpectTitle(344, "信息", "Information");
    ExpectText(344, 2, "关闭", "Close");
    ExpectTitle(347, "同步过程", "Synchronize");
    ExpectTitle(486, "请稍等……", "");
    ExpectText(486, 3, "强行中止", "");

    ExpectTitle(373, "遥控学习", "Learn remoter control ");
    ExpectText(373, 1, "应用参数", "Apply");
    ExpectText(373, 4, "保存参数", "Save file");
    ExpectTitle(372, "学习中……", "Learning");
    ExpectText(372, 1, "关闭", "Close");
    ExpectText(372, 3, "放弃学习", "Cancel");

    ExpectTitle(479, "智能插座", "Smart plug");
    ExpectText(479, 1077, "情景编辑", "Scene list");
    ExpectTitle(480, "插座编辑", "Plug property");
    ExpectText(480, 1, "", ""); // "添加" or "修改" is chosen by the editor
    ExpectText(481, 1076, "添加插座", "Add plug");
    ExpectText(482, 1045, "开", "开");
    ExpectText(482, 1072, "K歌情景", "Karaoke");
    ExpectText(484, 1007, "提示：松开滑动条后设置灯光亮度", "Tip：Release drag to set value");
    ExpectText(484, 1238, "      某些设备无法工作在低电压状态，可能损坏设备",
               "Be sure work voltage of your device is adjustable.");
    ExpectText(485, 1005, "开", "ON");

    ExpectTitle(410, "自动超低音量衰减", "Auto SUB vol decay");
    ExpectTitle(424, "音乐AGC", "Music AGC");
}

TEST(LanguageFiles, MissingEntriesAreEmpty) {
    EXPECT_TRUE(LangText(0, 385, 9999).isEmpty());
    EXPECT_TRUE(LangText(1, 999, 1005).isEmpty());
    EXPECT_TRUE(LangTitle(1, 313).isEmpty());
    // Present with an empty value reads the same as missing.
    EXPECT_TRUE(LangText(1, 484, 1239).isEmpty());
    EXPECT_FALSE(LangText(0, 484, 1239).isEmpty());
    // Any index other than English reads the Chinese file.
    EXPECT_EQ(S(LangTitle(7, 335)), "机器设置");
}

class ApplyTextsTest : public ::testing::Test {
protected:
    template <class W> W* Add(QWidget* parent, int id, const char* text) {
        auto* w = new W(QString::fromUtf8(text), parent);
        if (parent->layout())
            parent->layout()->addWidget(w);
        SetCtrlId(w, id);
        return w;
    }

private:
    const ScopedLanguage m_language{Language()}; // the tests switch freely; the language before comes back
};

TEST_F(ApplyTextsTest, SetsCaptionAndControlsAndLeavesTheRestAlone) {
    QWidget window;
    window.setWindowTitle("template");
    new QVBoxLayout(&window);
    auto* startVol = Add<QGroupBox>(&window, 1197, "g");
    new QVBoxLayout(startVol);
    auto* micMax = Add<QLabel>(startVol, 1006, "nested"); // inside a group box
    auto* enable = Add<QCheckBox>(&window, 1039, "c");
    auto* byMode = Add<QRadioButton>(&window, 1191, "r");
    auto* cancel = Add<QPushButton>(&window, 2, "b");
    auto* value = Add<QLabel>(&window, 1145, "42"); // value text: no entry
    auto* twoLines = Add<QLabel>(&window, 1239, "主音量和\n输入源：");
    auto* noId = new QLabel("free", &window);

    SetLanguage(1);
    ApplyTexts(&window, 335);
    EXPECT_EQ(S(window.windowTitle()), "Machine Set");
    EXPECT_EQ(S(startVol->title()), "Start vol");
    EXPECT_EQ(S(micMax->text()), "Mic max vol");
    EXPECT_EQ(S(enable->text()), "Enable");
    EXPECT_EQ(S(byMode->text()), "By mode ");
    EXPECT_EQ(S(cancel->text()), "Cancel");
    EXPECT_EQ(S(value->text()), "42");
    EXPECT_EQ(S(twoLines->text()), "主音量和\n输入源：");
    EXPECT_EQ(S(noId->text()), "free");

    SetLanguage(0);
    ApplyTexts(&window, 335);
    EXPECT_EQ(S(window.windowTitle()), "机器设置");
    EXPECT_EQ(S(startVol->title()), "开机音量");
    EXPECT_EQ(S(micMax->text()), "话筒最大音量");
    EXPECT_EQ(S(byMode->text()), "随模式保存");
    EXPECT_EQ(S(cancel->text()), "取消");
    EXPECT_EQ(S(value->text()), "42");

    ApplyTexts(nullptr, 335); // nothing to do, no crash
}

// A child dialog with a template of its own keeps its controls: the same id means another control there.
TEST_F(ApplyTextsTest, AChildDialogWithItsOwnTemplateKeepsItsTexts) {
    QWidget window;
    new QVBoxLayout(&window);
    auto* outer = Add<QPushButton>(&window, 1005, "outer");
    QWidget child(&window);
    SetTemplateId(&child, 481);
    new QVBoxLayout(&child);
    auto* inner = Add<QPushButton>(&child, 1005, "inner");
    SetLanguage(1);
    ApplyTexts(&window, 479);
    EXPECT_EQ(S(outer->text()), "All on");
    EXPECT_EQ(S(inner->text()), "inner");
    EXPECT_EQ(TemplateIdOf(&child), 481);
    SetTemplateId(&child, 0); // no template of its own: an ordinary part of the window again
    ApplyTexts(&window, 479);
    EXPECT_EQ(S(inner->text()), "All on");
}

TEST_F(ApplyTextsTest, EmptyOrMissingEnglishEntriesKeepTheChineseText) {
    // Dimmer control: its caption is written by the dialog; warning 1239 has an empty English entry.
    QWidget dimmer;
    dimmer.setWindowTitle(QString::fromUtf8("电压控制: 开关1"));
    auto* warning = Add<QLabel>(&dimmer, 1238, "");
    auto* adjustable = Add<QLabel>(&dimmer, 1239, "");
    SetLanguage(0);
    ApplyTexts(&dimmer, 484);
    EXPECT_EQ(S(adjustable->text()), "请您确保此插座上的设备允许调节电压");
    SetLanguage(1);
    ApplyTexts(&dimmer, 484);
    EXPECT_EQ(S(warning->text()), "Be sure work voltage of your device is adjustable.");
    EXPECT_EQ(S(adjustable->text()), "请您确保此插座上的设备允许调节电压");
    EXPECT_EQ(S(dimmer.windowTitle()), "电压控制: 开关1");

    // Compressor page buttons 6..8 have no English entry either.
    QWidget comp;
    auto* ch5 = Add<QPushButton>(&comp, 1076, "");
    auto* ch6 = Add<QPushButton>(&comp, 1077, "");
    SetLanguage(0);
    ApplyTexts(&comp, 346);
    SetLanguage(1);
    ApplyTexts(&comp, 346);
    EXPECT_EQ(S(ch5->text()), "Top");
    EXPECT_EQ(S(ch6->text()), "通道6");
}
