// One console per user, with two real processes.
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
