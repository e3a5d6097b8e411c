// One console per user, with two real processes.
#include "files/ModeFile.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

class SingleInstanceTest : public ::testing::Test {
protected:
    QProcess* Start(const QStringList& args) {
        auto* p = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("M7Q_DEBUG"), QStringLiteral("1"));
        // Freed memory is overwritten, so that a use after free inside Qt's own (uninstrumented) code
        // fails at once instead of reading what the freed object held.
        env.insert(QStringLiteral("MALLOC_PERTURB_"), QStringLiteral("165"));
        const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
        env.insert(QStringLiteral("ASAN_OPTIONS"),
                   asan + (asan.isEmpty() ? "" : ":") +
                       QStringLiteral("max_free_fill_size=65536:free_fill_byte=165"));
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(M7Q_CONSOLE_PATH),
                 QStringList{QStringLiteral("--simulate"), QStringLiteral("--fast")} + args);
        p->waitForStarted(5000);
        processes.push_back(p);
        return p;
    }
    // Waits for the first console to listen for later starts.
    bool WaitListening(QProcess* p) {
        for (int i = 0; i < 200 && p->state() == QProcess::Running; ++i) {
            if (QFile::exists(home.filePath(QStringLiteral("M7Q V1.0"))))
                return true;
            QThread::msleep(50);
        }
        return false;
    }
    // Reads `p`'s error output into `log` until `needle` occurs `count` times or `p` ends.
    bool WaitLog(QProcess* p, QByteArray& log, const char* needle, int count = 1) {
        for (int i = 0; i < 400; ++i) {
            log += p->readAllStandardError();
            if (log.count(needle) >= count)
                return true;
            if (p->state() != QProcess::Running)
                break;
            p->waitForReadyRead(50);
        }
        log += p->readAllStandardError();
        return log.count(needle) >= count;
    }
    void TearDown() override {
        for (QProcess* p : processes) {
            p->kill();
            p->waitForFinished(5000);
            delete p;
        }
    }
    QTemporaryDir home;
    std::vector<QProcess*> processes;
};

TEST_F(SingleInstanceTest, ASecondStartRaisesTheFirstHandsOverItsFileAndExits) {
    QProcess* first = Start({});
    ASSERT_TRUE(WaitListening(first));
    const QString file = home.filePath(QStringLiteral("m2.vm3zt"));
    QProcess* second = Start({file});
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);
    // The first console came forward; the missing file gets its message there, not in the second.
    QByteArray log;
    for (int i = 0; i < 100 && !log.contains("single instance: activated"); ++i) {
        first->waitForReadyRead(50);
        log += first->readAllStandardError();
    }
    EXPECT_TRUE(log.contains("single instance: activated")) << log.constData();
    EXPECT_FALSE(second->readAllStandardError().contains("activated"));
}

// The first console opens a handed-over file with the synchronisation dialog, whose nested event loop
// runs while the second start hangs up: the socket that carried the file must not go under it.
TEST_F(SingleInstanceTest, RepeatedFileHandOversWriteEachFileAndTheFirstConsoleLivesOn) {
    FreshStore();
    const QString file = home.filePath(QStringLiteral("m2tun.vm3zt"));
    ASSERT_TRUE(::SaveModeFile(file.toStdString()).bOk);
    QProcess* first = Start({});
    ASSERT_TRUE(WaitListening(first));
    QByteArray log;
    ASSERT_TRUE(WaitLog(first, log, "Start thread:SynchronizeData")) << log.constData(); // its read-all
    constexpr int kRounds = 4;
    for (int round = 1; round <= kRounds; ++round) {
        SCOPED_TRACE(round);
        log += first->readAllStandardError();
        ASSERT_EQ(first->state(), QProcess::Running) << log.constData();
        QProcess* second = Start({file});
        ASSERT_TRUE(second->waitForFinished(10000));
        EXPECT_EQ(second->exitCode(), 0);
        ASSERT_TRUE(WaitLog(first, log, "single instance: hand-over handled", round)) << log.constData();
    }
    // One read-all at start, then one write-all per hand-over.
    EXPECT_EQ(log.count("Start thread:SynchronizeData"), 1 + kRounds);
    // Still answering after the last dialog closed and its handler returned.
    QProcess* last = Start({});
    ASSERT_TRUE(last->waitForFinished(10000));
    EXPECT_EQ(last->exitCode(), 0);
    EXPECT_TRUE(WaitLog(first, log, "single instance: activated", kRounds + 1)) << log.constData();
    EXPECT_EQ(first->state(), QProcess::Running) << log.constData();
    EXPECT_FALSE(log.contains("AddressSanitizer")) << log.constData();
    EXPECT_FALSE(log.contains("runtime error")) << log.constData();
}

TEST_F(SingleInstanceTest, TheLockOfAConsoleThatDiedDoesNotBlockTheNextStart) {
    QProcess* first = Start({});
    ASSERT_TRUE(WaitListening(first));
    first->kill(); // no clean-up: the lock file stays behind
    first->waitForFinished(5000);
    QProcess* next = Start({});
    // It took over: a third start hands over to it and exits.
    QByteArray log;
    for (int i = 0; i < 100 && !log.contains("notice:"); ++i) {
        next->waitForReadyRead(50);
        log += next->readAllStandardError();
    }
    QProcess* third = Start({});
    ASSERT_TRUE(third->waitForFinished(10000));
    EXPECT_EQ(third->exitCode(), 0);
    for (int i = 0; i < 100 && !log.contains("single instance: activated"); ++i) {
        next->waitForReadyRead(50);
        log += next->readAllStandardError();
    }
    EXPECT_TRUE(log.contains("single instance: activated")) << log.constData();
}

} // namespace
