// A processor that is present but cannot be opened: the console says why in its status bar and once
// in a box, from the device doctor's finding on a made-up machine.
#include "app/App.h"
#include "app/MainFrame.h"
#include "app/MainView.h"
#include "sync/Doctor.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Prompts.h"

#include "TestSupport.h"

#include <QLabel>
#include <QTemporaryDir>

#include <cerrno>
#include <fstream>

namespace {

void Write(const QString& root, const std::string& relative, const std::string& text) {
    const std::filesystem::path path = std::filesystem::path(root.toStdString()) / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

} // namespace

TEST(NoConnectionTest, APresentProcessorThatCannotBeOpenedSaysWhy) {
    FreshStore();
    SetLanguage(0);
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    Write(root.path(), "sys/class/hidraw/hidraw3/device/uevent", "HID_ID=0003:00002010:00001031\n");
    Write(root.path(), "dev/hidraw3", "");
    DoctorSystem machine;
    machine.root = root.path().toStdString();
    machine.tryOpen = [](const std::filesystem::path&) { return EACCES; };
    SetHostDoctorSystem(&machine);
    QStringList asked;
    PromptHooks hooks;
    hooks.ask = [&asked](QMessageBox::Icon, const QString& caption, const QString& text,
                         QMessageBox::StandardButtons) {
        asked << caption + QLatin1Char('|') + text;
        return QMessageBox::Ok;
    };
    SetPromptHooks(hooks);
    {
        CQX7745v13App app;
        CConsoleLink link(CConsoleLink::Kind::Usb, QString()); // no processor on this machine's USB
        auto* view = new CQX7745v13View(&link);
        CMainFrame frame(view);
        app.SetMainWindow(&frame, view);

        EXPECT_FALSE(view->ConnectAttempt(false));
        EXPECT_EQ(frame.UsbPane()->text(), QString::fromUtf8("USB：未连接 — 无权打开 /dev/hidraw3"));
        ASSERT_EQ(asked.size(), 1);
        EXPECT_TRUE(asked[0].startsWith(
            QString::fromUtf8("错误|处理器已连接（/dev/hidraw3），但当前用户无权打开它。")))
            << asked[0].toStdString();
        EXPECT_TRUE(asked[0].contains(QStringLiteral("sudo udevadm control --reload")))
            << asked[0].toStdString();

        // Another arrival with nothing new asks nothing; the pane follows the language.
        view->OnDeviceArrival(QString());
        EXPECT_EQ(asked.size(), 1);
        SetLanguage(1);
        view->UpdateCommandUI();
        EXPECT_EQ(frame.UsbPane()->text(),
                  QStringLiteral("USB:Disconnected — no permission for /dev/hidraw3"));

        // Without the processor the pane is bare again.
        std::filesystem::remove_all(std::filesystem::path(root.path().toStdString()) / "sys");
        view->OnDeviceArrival(QString());
        EXPECT_EQ(frame.UsbPane()->text(), QStringLiteral("USB:Disconnected"));
        EXPECT_EQ(asked.size(), 1);
    }
    SetPromptHooks({});
    SetHostDoctorSystem(nullptr);
    SetLanguage(0);
}
