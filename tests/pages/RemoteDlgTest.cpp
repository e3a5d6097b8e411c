// Remote-control learning: the learning request and its cancel byte for byte, a key learned end to
// end against the simulated processor, polling while the window exists, its destruction while a
// learning dialog waits, Apply, and the remote-code files.
#include "pages/RemoteDlg.h"

#include "TestSupport.h"
#include "WidgetSupport.h"
#include "link/Transport.h"
#include "sim/SimBackend.h"
#include "ui/ConsoleLink.h"
#include "ui/ProgressDlgs.h"

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <cerrno>
#include <fstream>

namespace fs = std::filesystem;

class RemoteDlgTest : public TempDirTest {
protected:
    void SetUp() override { TempDirTest::SetUp(); }
    void TearDown() override {
        delete dlg.data();
        TempDirTest::TearDown();
    }
    void Open(const PageContext& context = {}) {
        dlg = new CRemoteDlg(context, -1);
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.data()));
        link.Clear();
    }
    void Gone() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
    // Runs `inside` once the learning dialog of `ctrlId` waits, then returns when it has closed.
    void LearnWith(int ctrlId, std::function<void(CRemoteStudyDlg*)> inside) {
        QTimer::singleShot(0, [this, inside] {
            CRemoteStudyDlg* study = dlg ? dlg->StudyDialog() : nullptr;
            ASSERT_NE(study, nullptr);
            // Whatever happens below, the test never waits for ever.
            QTimer::singleShot(15000, study, [study] { study->Abandon(); });
            inside(study);
        });
        ClickButton(Ctrl<QAbstractButton>(dlg.data(), ctrlId));
    }
    void SetConnected(bool on) {
        auto lock = LockStore();
        g_Param.bConnected = on ? 1 : 0;
    }
    std::array<uint8_t, kRemoteKeyBytes> Keys() {
        auto lock = LockStore();
        return g_Status.byRemoteKey;
    }
    void SetKeys(uint8_t first) {
        auto lock = LockStore();
        for (int i = 0; i < kRemoteKeyBytes; ++i)
            g_Status.byRemoteKey[i] = static_cast<uint8_t>(first + i);
    }
    static Report RemoteReport(const std::array<uint8_t, kRemoteKeyBytes>& keys) {
        std::vector<int> bytes = {kReportId, CMD_SET_REMOTE};
        bytes.insert(bytes.end(), keys.begin(), keys.end());
        return MakeReport(bytes);
    }
    QString Notice() { return InfoDlg() ? InfoDlg()->Text() : QString(); }

    // A device side whose connection hands out the poll tokens; writes still go to the recording link.
    CConnection& WithConsole() {
        console = std::make_unique<CConsoleLink>(CConsoleLink::Kind::Simulated, QString());
        SetLink(&link);
        return console->Conn();
    }
    std::unique_ptr<CConsoleLink> console; // outlives the window
    QPointer<CRemoteDlg> dlg;
    const ScopedLanguage m_language{0}; // last: as if set after the members, restored before them
};

TEST_F(RemoteDlgTest, LearningRequestAndCancelByteForByte) {
    SetLanguage(1);
    Open();
    QString keyText;
    LearnWith(1608, [&](CRemoteStudyDlg* study) {
        EXPECT_EQ(Sent(), std::vector<Report>{MakeReport({0x02, 0x60, 0x0A})});
        keyText = TextOf(study, CRemoteStudyDlg::IDC_KEY_TEXT);
        EXPECT_EQ(study->windowTitle(), "Learning");
        ClickButton(Ctrl<QPushButton>(study, CRemoteStudyDlg::IDC_CANCEL));
        // The stop goes out at once, before the dialog has even gone.
        EXPECT_EQ(Sent().size(), 2u);
    });
    EXPECT_EQ(keyText, "Learning key:  Mute ");
    EXPECT_EQ(Sent(), (std::vector<Report>{MakeReport({0x02, 0x60, 0x0A}), MakeReport({0x02, 0x61})}));
    EXPECT_EQ(dlg->StudyDialog(), nullptr);
}

TEST_F(RemoteDlgTest, CodeReceivedShowsTwoDigitsAndClosesByItself) {
    Open();
    QString code, notice;
    bool closeShown = false, cancelShown = true;
    LearnWith(1587, [&](CRemoteStudyDlg* study) {
        EXPECT_EQ(TextOf(study, CRemoteStudyDlg::IDC_KEY_TEXT),
                  QString::fromUtf8("您正在学习的键：启动/待机"));
        study->CodeReceived(0x07);
        code = Ctrl<QLineEdit>(study, CRemoteStudyDlg::IDC_CODE)->text();
        notice = TextOf(study, CRemoteStudyDlg::IDC_NOTICE);
        closeShown = Ctrl<QPushButton>(study, CRemoteStudyDlg::IDC_CLOSE)->isVisible();
        cancelShown = Ctrl<QPushButton>(study, CRemoteStudyDlg::IDC_CANCEL)->isVisible();
    });
    EXPECT_EQ(code, "07");
    EXPECT_EQ(notice, QString::fromUtf8("窗口将自动关闭"));
    EXPECT_TRUE(closeShown);
    EXPECT_FALSE(cancelShown);
    EXPECT_EQ(Sent(), std::vector<Report>{MakeReport({0x02, 0x60, 0x01})}); // no stop after a code
}

TEST_F(RemoteDlgTest, LearnsAKeyEndToEndAgainstTheSimulator) {
    SetLink(nullptr);
    CConsoleLink console(CConsoleLink::Kind::Simulated, QString());
    ASSERT_TRUE(console.Link().Open());
    Open(PageContext{&console});
    QString shown;
    bool closedByItself = false;
    LearnWith(1608, [&](CRemoteStudyDlg* study) {
        QTRY_VERIFY(console.Sim()->WithProcessor([](CSimProcessor& p) { return p.IsLearning(); }));
        ASSERT_TRUE(console.Sim()->PressKey(0x5C));
        auto* code = Ctrl<QLineEdit>(study, CRemoteStudyDlg::IDC_CODE);
        QTRY_COMPARE(code->text(), QStringLiteral("5C"));
        shown = code->text();
        QObject::connect(study, &QDialog::accepted, [&] { closedByItself = true; });
    });
    EXPECT_EQ(shown, "5C");
    EXPECT_TRUE(closedByItself);
    EXPECT_EQ(Keys()[10], 0x5C);
    EXPECT_EQ(console.Sim()->WithProcessor([](CSimProcessor& p) { return p.RemoteKeys()[10]; }), 0x5C);
    delete dlg.data();
    console.Link().Close();
}

TEST_F(RemoteDlgTest, UnsupportedAreaLearnsNothing) {
    Open();
    QString text;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        text = box->text();
        box->accept();
    });
    ClickButton(Ctrl<QAbstractButton>(dlg.data(), CRemoteDlg::IDC_UNSUPPORTED));
    EXPECT_EQ(text, QString::fromUtf8("不支持该功能"));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(RemoteDlgTest, AreasShowTheHandCursor) {
    Open();
    for (int id = 1587; id <= 1616; ++id) {
        if (QWidget* area = FindCtrl(dlg.data(), id)) {
            EXPECT_EQ(area->cursor().shape(), Qt::PointingHandCursor) << id;
        }
    }
    for (const CRemoteDlg::KeyInfo& k : CRemoteDlg::kKeys)
        EXPECT_NE(FindCtrl(dlg.data(), k.nCtrlId), nullptr) << k.nCtrlId;
}

TEST_F(RemoteDlgTest, PollingIsOffWhileTheWindowExists) {
    CConnection& conn = WithConsole();
    Open(PageContext{console.get()});
    EXPECT_FALSE(conn.LivePollAllowed());
    dlg->close();
    EXPECT_TRUE(conn.LivePollAllowed());
    Gone();
    EXPECT_TRUE(dlg.isNull());

    conn.SetPeakPoll(false); // the user's choice stays
    Open(PageContext{console.get()});
    dlg->close();
    Gone();
    EXPECT_TRUE(conn.LivePollAllowed());
    EXPECT_FALSE(conn.PeakPoll());
}

TEST_F(RemoteDlgTest, DestroyedWhileLearningReturnsSafelyAndRestoresPolling) {
    CConnection& conn = WithConsole();
    Open(PageContext{console.get()});
    LearnWith(1602, [&](CRemoteStudyDlg*) { dlg->RequestDestroy(); }); // as a device arrival does
    Gone();
    EXPECT_TRUE(dlg.isNull());
    EXPECT_TRUE(conn.LivePollAllowed());
    EXPECT_EQ(Sent(), std::vector<Report>{MakeReport({0x02, 0x60, 0x04})});
}

TEST_F(RemoteDlgTest, ApplySendsAllEighteenAndSaysSoEvenWithTheLinkDown) {
    SetKeys(0x20);
    link.nResult = 0;
    Open();
    ClickButton(Ctrl<QPushButton>(dlg.data(), CRemoteDlg::IDC_APPLY));
    EXPECT_EQ(Sent(), std::vector<Report>{RemoteReport(Keys())});
    EXPECT_EQ(Notice(), QString::fromUtf8("遥控器键码保存成功!"));
}

class RemoteFileDlgTest : public RemoteDlgTest {
protected:
    void Open() {
        RemoteDlgTest::Open();
        CRemoteDlg::FileAsk ask;
        ask.openPath = [this](QWidget*) {
            ++asks;
            return next;
        };
        ask.savePath = [this](QWidget*) {
            ++asks;
            return next;
        };
        ask.replace = [this](QWidget*, const QString& path) {
            replaceAsked << path;
            return replaceAnswer;
        };
        ask.warn = [this](QWidget*, const QString& caption, const QString& text) {
            warned << caption + "|" + text;
        };
        dlg->SetFileAsk(ask);
    }
    QString Path(const char* name) { return QString::fromStdString((dir / name).string()); }
    QString next;
    int asks = 0;
    QStringList replaceAsked, warned;
    bool replaceAnswer = false;
};

TEST_F(RemoteFileDlgTest, FilesNeedTheConnection) {
    Open();
    ClickButton(Ctrl<QPushButton>(dlg.data(), CRemoteDlg::IDC_SAVE));
    EXPECT_EQ(Notice(), QString::fromUtf8("请先连接机器再进行此操作!"));
    ClickButton(Ctrl<QPushButton>(dlg.data(), CRemoteDlg::IDC_LOAD));
    EXPECT_EQ(asks, 0);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(RemoteFileDlgTest, RoundTripWithTheExtensionReplaced) {
    SetConnected(true);
    SetKeys(0x40);
    const auto saved = Keys();
    Open();
    next = Path("codes.txt");
    ClickButton(Ctrl<QPushButton>(dlg.data(), CRemoteDlg::IDC_SAVE));
    EXPECT_EQ(Notice(), QString::fromUtf8("保存遥控文件成功"));
    EXPECT_TRUE(fs::exists(dir / "codes.remo"));
    EXPECT_FALSE(fs::exists(dir / "codes.txt"));
    EXPECT_TRUE(replaceAsked.isEmpty()); // nothing of the final name was there
    EXPECT_TRUE(Sent().empty());

    SetKeys(0x00);
    next = Path("codes.remo");
    ClickButton(Ctrl<QPushButton>(dlg.data(), CRemoteDlg::IDC_LOAD));
    EXPECT_EQ(Notice(), QString::fromUtf8("载入遥控文件成功"));
    EXPECT_EQ(Keys(), saved);
    EXPECT_EQ(Sent(), std::vector<Report>{RemoteReport(saved)});
}

TEST_F(RemoteFileDlgTest, AReplacedExtensionAsksAgainAboutTheFinalFile) {
    SetConnected(true);
    {
        std::ofstream old(dir / "codes.remo", std::ios::binary);
        old << "old file kept here";
    }
    SetKeys(0x10);
    Open();
    next = Path("codes.txt");
    replaceAnswer = false;
    ClickButton(Ctrl<QPushButton>(dlg.data(), CRemoteDlg::IDC_SAVE));
    ASSERT_EQ(replaceAsked.size(), 1);
    EXPECT_TRUE(replaceAsked[0].endsWith("codes.remo"));
    EXPECT_EQ(fs::file_size(dir / "codes.remo"), 18u); // "old file kept here" is 18 bytes too
    {
        std::ifstream in(dir / "codes.remo", std::ios::binary);
        std::string content((std::istreambuf_iterator<char>(in)), {});
        EXPECT_EQ(content, "old file kept here");
    }
    replaceAnswer = true;
    ClickButton(Ctrl<QPushButton>(dlg.data(), CRemoteDlg::IDC_SAVE));
    std::ifstream in(dir / "codes.remo", std::ios::binary);
    std::vector<char> content((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(content.size(), 18u);
    EXPECT_EQ(static_cast<uint8_t>(content[0]), 0x10);
    EXPECT_EQ(static_cast<uint8_t>(content[17]), 0x21);

    // A name typed with the right extension was asked about by the dialog itself.
    replaceAsked.clear();
    next = Path("codes.remo");
    ClickButton(Ctrl<QPushButton>(dlg.data(), CRemoteDlg::IDC_SAVE));
    EXPECT_TRUE(replaceAsked.isEmpty());
}

TEST_F(RemoteFileDlgTest, TenByteFileChangesTheFirstTenAndSendsAllEighteen) {
    SetConnected(true);
    SetKeys(0x80);
    {
        std::ofstream f(dir / "short.remo", std::ios::binary);
        const char ten[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
        f.write(ten, sizeof ten);
    }
    Open();
    next = Path("short.remo");
    ClickButton(Ctrl<QPushButton>(dlg.data(), CRemoteDlg::IDC_LOAD));
    const auto keys = Keys();
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(keys[i], i + 1);
    for (int i = 10; i < kRemoteKeyBytes; ++i)
        EXPECT_EQ(keys[i], 0x80 + i);
    EXPECT_EQ(Sent(), std::vector<Report>{RemoteReport(keys)});
}

TEST_F(RemoteFileDlgTest, UnreadableFileIsNamedAndNothingChanges) {
    SetConnected(true);
    SetKeys(0x30);
    const auto before = Keys();
    Open();
    next = Path("missing.remo");
    ClickButton(Ctrl<QPushButton>(dlg.data(), CRemoteDlg::IDC_LOAD));
    ASSERT_EQ(warned.size(), 1);
    EXPECT_TRUE(warned[0].contains("missing.remo"));
    EXPECT_EQ(Notice(), QString::fromUtf8("载入遥控文件失败"));
    EXPECT_EQ(Keys(), before);
    EXPECT_TRUE(Sent().empty());

    next = QString(); // a cancelled dialog: nothing at all
    warned.clear();
    ClickButton(Ctrl<QPushButton>(dlg.data(), CRemoteDlg::IDC_LOAD));
    EXPECT_TRUE(warned.isEmpty());
}

TEST_F(RemoteFileDlgTest, UnwritableFileSaysSoAndWritesNothing) {
    SetConnected(true);
    Open();
    next = Path("no-such-folder/codes.remo");
    ClickButton(Ctrl<QPushButton>(dlg.data(), CRemoteDlg::IDC_SAVE));
    ASSERT_EQ(warned.size(), 1);
    EXPECT_EQ(warned[0],
              QStringLiteral("Can't write to file|Errcode=%1,Can't write to file:\n%2\nProbaby it is "
                             "write protected.")
                  .arg(ENOENT)
                  .arg(Path("no-such-folder/codes.remo")));
    EXPECT_EQ(Notice(), QString::fromUtf8("保存遥控文件失败"));
    EXPECT_FALSE(fs::exists(dir / "no-such-folder"));
}
