// The console against the simulated processor's faults: the cable pulled and put back is a removal
// and an arrival, older and cut-short mode files change only their areas on every open path, a
// learning request is answered from the fault list, and --trace writes m7qctl's format.
#include "WidgetSupport.h"
#include "app/MainFrame.h"
#include "app/MainView.h"
#include "app/Settings.h"
#include "files/ModeFile.h"
#include "link/Codec.h"
#include "link/Timing.h"
#include "pages/PageRegistry.h"
#include "pages/RemoteDlg.h"
#include "sim/SimFaultList.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Notices.h"
#include "ui/ProgressDlgs.h"
#include "ui/Prompts.h"

#include "TestSupport.h"

#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <fstream>
#include <mutex>
#include <optional>

namespace {

class SimFaultsConsoleTest : public ::testing::Test {
protected:
    void SetUp() override {
        FreshStore();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("M7Q V1.0")).clear();
        SetSettleScale(0.02);
        PromptHooks hooks;
        hooks.ask = [this](QMessageBox::Icon, const QString& caption, const QString& text,
                           QMessageBox::StandardButtons) {
            asked << caption + QLatin1Char('|') + text;
            return QMessageBox::No;
        };
        hooks.file = [this](bool, const QString&) {
            ++fileDialogs;
            return nextFile;
        };
        SetPromptHooks(hooks);
        link = std::make_unique<CConsoleLink>(CConsoleLink::Kind::Simulated, QString());
        link->Link().SetTrace([this](char direction, const Report& r) {
            std::lock_guard lock(sentMutex);
            if (direction == '>')
                sent.push_back(r);
        });
        view = new CQX7745v13View(link.get());
        frame = std::make_unique<CMainFrame>(view);
        notices.emplace(frame.get());
    }
    void TearDown() override {
        notices.reset();
        frame.reset();
        link.reset();
        SetLink(nullptr);
        SetPromptHooks({});
        SetSettleScale(1.0);
    }
    void Faults(const std::string& list) {
        SimFaults f;
        std::string error;
        ASSERT_TRUE(ParseSimFaults(list, f, error)) << error;
        link->Sim()->SetFaults(f);
    }
    std::vector<Report> TakeSent() {
        link->Link().Flush();
        std::lock_guard lock(sentMutex);
        return std::exchange(sent, {});
    }
    QString Usb() const { return frame->UsbPane()->text(); }

    std::unique_ptr<CConsoleLink> link;
    CQX7745v13View* view = nullptr;
    std::unique_ptr<CMainFrame> frame;
    std::mutex sentMutex;
    std::vector<Report> sent;
    QStringList asked;
    QString nextFile;
    int fileDialogs = 0;
    std::optional<ScopedNotices> notices; // the frame is their owner; a notice left open goes
    const ScopedLanguage m_language{1};   // last: as if set after the members, restored before them
};

TEST_F(SimFaultsConsoleTest, ThePulledCableIsARemovalAndItsReturnAnArrivalThatSynchronisesAgain) {
    Faults("unplug-after=228,replug-after=500"); // three live polls after the read-all
    link->StartMonitor();
    QSignalSpy synced(view, &CQX7745v13View::SyncHandled);
    ASSERT_TRUE(view->ConnectAttempt(false)); // returns after the read-all
    ASSERT_EQ(synced.count(), 1);
    EXPECT_EQ(Usb(), QStringLiteral("USB:Connected"));
    view->OpenPage(kTemplateFeatures);
    QPointer<CPage> features = view->ToolWindows().Window(kTemplateFeatures);
    ASSERT_FALSE(features.isNull());

    // Removed: the status, the notice, no poll, no live values, and the file commands need a device.
    QTRY_COMPARE_WITH_TIMEOUT(Usb(), QStringLiteral("USB:Disconnected"), 10000);
    EXPECT_FALSE(link->Link().IsOpen());
    EXPECT_EQ(view->LastNotice(), QStringLiteral("Device Disconnected!"));
    EXPECT_FALSE(view->PollTimerRunning());
    {
        auto lock = LockStore();
        EXPECT_EQ(g_Param.byLiveStatus, (std::array<uint8_t, 16>{}));
    }
    view->OnCommand(IDC_FILE_OPEN);
    view->OnCommand(IDC_FILE_SAVE);
    EXPECT_EQ(fileDialogs, 0);
    ASSERT_NE(InfoDlg(), nullptr);
    EXPECT_EQ(InfoDlg()->Text(), QStringLiteral("Please connect device!"));

    // Back without any input: connected, synchronised again, the tool windows gone.
    QTRY_VERIFY_WITH_TIMEOUT(synced.count() == 2, 10000);
    EXPECT_TRUE(synced.at(1).at(0).toBool());
    EXPECT_EQ(Usb(), QStringLiteral("USB:Connected"));
    EXPECT_EQ(view->LastNotice(), QStringLiteral("Device connected!"));
    EXPECT_TRUE(view->PollTimerRunning());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(features.isNull());
    EXPECT_EQ(link->Sim()->Counters().nReceived[CMD_GET_MODEL], 2u);
}

// Version 1 and 4 files by the layout table, and a version-8 file that ends inside the image.
std::vector<uint8_t> OlderFile(const std::vector<uint8_t>& v8, int kind) {
    auto at = [&](size_t from, size_t n) {
        return std::vector<uint8_t>(v8.begin() + from, v8.begin() + from + n);
    };
    std::vector<uint8_t> out = {static_cast<uint8_t>(kind == 2 ? 8 : kind == 0 ? 1 : 4), 0, 0, 0};
    if (kind == 2) {
        auto cut = at(4, 864 + 600);
        out.insert(out.end(), cut.begin(), cut.end());
        return out;
    }
    for (const auto& area :
         {at(4, kind == 0 ? 784 : 796), at(868, 1246), kind == 0 ? std::vector<uint8_t>{} : at(2121, 52)})
        out.insert(out.end(), area.begin(), area.end());
    return out;
}

void Write(const QString& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path.toStdString(), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST_F(SimFaultsConsoleTest, OlderAndCutShortFilesChangeOnlyTheirAreasOnEveryOpenPath) {
    // A processor unlike the start-up values, also where the older files hold nothing.
    link->Sim()->WithProcessor([](CSimProcessor& p) {
        p.Handle(BuildParam(MOD_MUSIC, 36, 240, 1));                        // the low-pass path's delay
        p.Handle(BuildParam(MOD_OUT1 + 2, 24, FloatBits(0.77f), 1));        // CH3's output level
        const uint8_t band[7] = {0x00, 0xB4, 0x00, 0x50, 0x02, 0xC6, 0x03}; // the low-pass band
        p.Handle(BuildMemoryWrite(ADDR_LPF, 7, band));
        const uint8_t boost[2] = {0x12, 0x34};
        p.Handle(BuildMemoryWrite(ADDR_MIC_BOOST, 2, boost));
        const uint8_t far[7] = {0x00, 0x64, 0x0F, 0xA0, 0x05, 0xDC, 0x01}; // CH8 band 10
        p.Handle(BuildMemoryWrite(ADDR_EQ_OUT + 7 * kOutEqStride + 63, 7, far));
    });
    ASSERT_TRUE(view->ConnectAttempt(false));
    std::vector<uint8_t> expected = BuildModeFileBytes();
    expected[kModeFileSlotsAt + 4 * (SET_OUT_MIX_MUSIC + 1)] = 33;
    expected[kModeFileImageAt + ADDR_EQ_OUT + 3] ^= 0x20;

    QTemporaryDir dir;
    const QString whole = dir.filePath(QStringLiteral("whole.vm3zt"));
    Write(whole, expected);
    struct Case {
        const char* name;
        int kind;
        std::function<void(const QString&)> open;
    };
    const Case cases[] = {
        {"v1.vm3zt", 0,
         [this](const QString& path) {
             nextFile = path;
             view->OnCommand(IDC_FILE_OPEN); // the file dialog; returns after the write-all
         }},
        {"v4.vm3zt", 1,
         [this](const QString& path) {
             AddRecentFile(path);
             frame->RefreshRecentFiles();
             for (QMenu* menu : frame->findChildren<QMenu*>())
                 for (QAction* action : menu->actions())
                     if (action->text().endsWith(QStringLiteral(" v4.vm3zt")))
                         return action->trigger();
             ADD_FAILURE() << "no recent entry";
         }},
        {"cut.vm3zt", 2,
         [this](const QString& path) { view->OpenModeFilePath(path); }}, // command line, hand-over
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        Write(path, OlderFile(expected, c.kind));
        TakeSent();
        c.open(path);
        // The live poll runs on its own timer and may fall into either transfer.
        const auto noPolls = [](std::vector<Report> reports) {
            std::erase_if(reports, [](const Report& r) { return r[1] == CMD_GET_LIVE; });
            return reports;
        };
        const std::vector<Report> opened = noPolls(TakeSent());
        EXPECT_EQ(BuildModeFileBytes(), expected)
            << "the store read from the processor, with the file's areas";
        ASSERT_TRUE(view->OpenModeFilePath(whole));
        EXPECT_EQ(opened, noPolls(TakeSent()))
            << "sent exactly what the whole file with the same settings sends";
    }
    EXPECT_TRUE(asked.isEmpty()) << asked.join(QLatin1Char('\n')).toStdString();
}

TEST_F(SimFaultsConsoleTest, ALearningRequestIsAnsweredByTheFaultListsKey) {
    Faults("learn-key=150");
    ASSERT_TRUE(view->ConnectAttempt(false));
    view->OnCommand(ID_BTN_REMOTE);
    auto* remote = qobject_cast<CRemoteDlg*>(view->ToolWindows().Window(kTemplateRemote));
    ASSERT_NE(remote, nullptr);
    QString code, notice;
    bool closedByItself = false;
    QTimer::singleShot(0, remote, [&] {
        CRemoteStudyDlg* study = remote->StudyDialog();
        ASSERT_NE(study, nullptr);
        QTimer::singleShot(15000, study, [study] { study->Abandon(); }); // never waits for ever
        QObject::connect(study, &QDialog::accepted, [&] { closedByItself = true; });
        auto* box = Ctrl<QLineEdit>(study, CRemoteStudyDlg::IDC_CODE);
        QTRY_COMPARE_WITH_TIMEOUT(box->text(), QStringLiteral("4A"), 5000);
        code = box->text();
        notice = TextOf(study, CRemoteStudyDlg::IDC_NOTICE);
    });
    ClickButton(Ctrl<QAbstractButton>(remote, 1608)); // Mute, key 10; returns once the dialog closed
    EXPECT_EQ(code, QStringLiteral("4A"));
    EXPECT_EQ(notice, QStringLiteral("Window will be closed!"));
    EXPECT_TRUE(closedByItself);
    auto lock = LockStore();
    EXPECT_EQ(g_Status.byRemoteKey[10], 0x4A);
}

TEST_F(SimFaultsConsoleTest, TheConsolesTraceIsM7qctlsFormat) {
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("console.trace"));
    QProcess console;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), dir.path()); // the simulated processor's state stays here
    console.setProcessEnvironment(env);
    console.start(QStringLiteral(M7Q_CONSOLE_PATH),
                  {QStringLiteral("--simulate"), QStringLiteral("--fast"), QStringLiteral("--trace"), trace,
                   QStringLiteral("--screenshot"), dir.filePath(QStringLiteral("shot.png"))});
    ASSERT_TRUE(console.waitForFinished(60000));
    ASSERT_EQ(console.exitCode(), 0) << console.readAllStandardError().toStdString();
    QFile file(trace);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines =
        QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QRegularExpression line(QStringLiteral("^[<>] [0-9a-f]{2}( [0-9a-f]{2}){60}$"));
    int sentCount = 0;
    for (const QString& l : lines.mid(0, lines.size() - 1)) {
        EXPECT_TRUE(line.match(l).hasMatch()) << l.toStdString();
        sentCount += l.startsWith(QLatin1Char('>'));
    }
    EXPECT_GE(sentCount, 226) << "the read-all and the disconnect";
    EXPECT_TRUE(lines.value(0).startsWith(QStringLiteral("> 02 80 00"))) << "the model request first";
    EXPECT_TRUE(lines.contains(QStringLiteral("> 02 8a") + QString(QStringLiteral(" 00")).repeated(59)))
        << "the disconnect";
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^# merged [0-9]+$"))
                    .match(lines.value(lines.size() - 1))
                    .hasMatch());
}

} // namespace
