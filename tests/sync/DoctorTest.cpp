// The device doctor on a made-up machine: a folder standing for /dev, /sys, /proc, /run and the udev
// rule folders, an open that fails as told, and the simulated processor as the HID device.
#include "TestSupport.h"

#include "sim/SimBackend.h"
#include "sync/Doctor.h"

#include <cerrno>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class DoctorTest : public TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        sys.root = dir;
        sys.nOwnPid = 100;
        sys.tryOpen = [this](const fs::path& node) {
            opened.push_back(node);
            return openError;
        };
    }
    void Write(const fs::path& relative, const std::string& text) {
        fs::create_directories((dir / relative).parent_path());
        std::ofstream(dir / relative) << text;
    }
    // A hidraw node as the kernel shows it.
    void Node(const std::string& name, const char* hidId, const std::string& devNumbers) {
        Write("sys/class/hidraw/" + name + "/device/uevent",
              "DRIVER=hid-generic\nHID_ID=" + std::string(hidId) + "\nHID_NAME=USB device\n");
        Write("sys/class/hidraw/" + name + "/dev", devNumbers + "\n");
        Write("dev/" + name, "");
    }
    void Processor(const std::string& name = "hidraw3") { Node(name, "0003:00002010:00001031", "241:3"); }
    void Rule(const std::string& folder = "usr/lib/udev/rules.d") {
        Write(folder + "/60-m7q.rules", "# rule\n");
    }
    void UdevRecord(bool tagged) {
        Write("run/udev/data/c241:3",
              std::string("I:123\n") + (tagged ? "G:uaccess\nQ:uaccess\n" : "") + "V:1\n");
    }
    void Process(int pid, const std::string& comm, const std::string& fdTarget) {
        Write("proc/" + std::to_string(pid) + "/comm", comm + "\n");
        fs::create_directories(dir / "proc" / std::to_string(pid) / "fd");
        fs::create_symlink("/dev/null", dir / "proc" / std::to_string(pid) / "fd" / "0");
        fs::create_symlink(fdTarget, dir / "proc" / std::to_string(pid) / "fd" / "7");
    }

    DoctorSystem sys;
    int openError = 0;
    std::vector<fs::path> opened;
};

} // namespace

TEST_F(DoctorTest, NoProcessor) {
    Node("hidraw0", "0003:0000046D:0000C52B", "241:0"); // a mouse
    const DoctorFinding f = ExamineDevice(sys);
    EXPECT_EQ(static_cast<int>(f.verdict), 1);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(FormatDoctorReport(f), "device: no hidraw device has the processor's USB ids 2010:1031\n"
                                     "  Is the processor switched on, and its USB cable plugged into this "
                                     "computer?\n");
    EXPECT_EQ(DoctorSummary(f, false), "");

    // On USB, but the kernel made no hidraw node for it.
    Write("sys/bus/usb/devices/1-2/idVendor", "2010\n");
    Write("sys/bus/usb/devices/1-2/idProduct", "1031\n");
    const DoctorFinding usb = ExamineDevice(sys);
    EXPECT_EQ(usb.verdict, DoctorVerdict::Absent);
    EXPECT_TRUE(usb.bUsbWithoutNode);
    EXPECT_EQ(DoctorSummary(usb, false), "the processor has no hidraw device");
    EXPECT_EQ(FormatDoctorReport(usb),
              "device: no hidraw device has the processor's USB ids 2010:1031\n"
              "  The processor is on USB (2010:1031), but the kernel made no hidraw device for it.\n"
              "  Plug it in again; \"sudo dmesg | tail\" shows what the kernel said.\n");
}

TEST_F(DoctorTest, NoPermissionSaysWhyAndHowToFixIt) {
    Processor("hidraw12");
    Processor("hidraw3"); // the lower number is examined
    openError = EACCES;
    const std::string head = "device: /dev/hidraw3 is the processor (USB 2010:1031); 1 more: /dev/hidraw12\n";
    const std::string denied =
        "permission: this user cannot open /dev/hidraw3 for reading and writing: "
        "Permission denied\n"
        "  The processor is connected (/dev/hidraw3), but this user may not open it.\n";
    const std::string reload = "    sudo udevadm control --reload\n"
                               "    sudo udevadm trigger --action=change --subsystem-match=hidraw\n";

    // No rule anywhere udev reads.
    DoctorFinding f = ExamineDevice(sys);
    EXPECT_EQ(static_cast<int>(f.verdict), 4);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], dir / "dev/hidraw3");
    EXPECT_EQ(f.rule, DoctorRule::Missing);
    EXPECT_EQ(FormatDoctorReport(f),
              head + "udev rule: not installed\n" + denied +
                  "  The udev rule 60-m7q.rules that lets the logged-in user open it is not installed\n"
                  "  (the m7q-console package installs it). Install it and reload udev:\n"
                  "    sudo install -m 644 resources/60-m7q.rules /etc/udev/rules.d/60-m7q.rules    (in the "
                  "source tree)\n" +
                  reload + "  Then plug the processor in again.\n");
    EXPECT_EQ(DoctorSummary(f, false), "no permission for /dev/hidraw3");
    EXPECT_EQ(DoctorSummary(f, true), "无权打开 /dev/hidraw3");
    EXPECT_NE(DoctorAdvice(f, true).find("sudo udevadm control --reload"), std::string::npos);

    // Installed, but udev has not applied it since.
    Rule("etc/udev/rules.d");
    UdevRecord(false);
    f = ExamineDevice(sys);
    EXPECT_EQ(f.rule, DoctorRule::NotApplied);
    EXPECT_EQ(
        FormatDoctorReport(f),
        head + "udev rule: /etc/udev/rules.d/60-m7q.rules\n" + denied +
            "  The udev rule is installed (/etc/udev/rules.d/60-m7q.rules), but udev has not applied it "
            "to /dev/hidraw3 yet.\n"
            "  Reload udev and apply it:\n" +
            reload + "  or plug the processor in again.\n");

    // Applied: the node belongs to the local session's user, and this is not that user.
    UdevRecord(true);
    f = ExamineDevice(sys);
    EXPECT_EQ(f.rule, DoctorRule::Applied);
    EXPECT_NE(FormatDoctorReport(f).find("(logged in over ssh?)"), std::string::npos);

    // Installed, but udev keeps no record: not running.
    fs::remove_all(dir / "run");
    f = ExamineDevice(sys);
    EXPECT_EQ(f.rule, DoctorRule::NoUdevData);
    EXPECT_NE(FormatDoctorReport(f).find("udev may not be running here"), std::string::npos);

    // Another error than permission is named as it is.
    openError = ENODEV;
    f = ExamineDevice(sys);
    EXPECT_EQ(f.verdict, DoctorVerdict::NoPermission);
    EXPECT_EQ(DoctorSummary(f, false), "/dev/hidraw3 cannot be opened");
    EXPECT_NE(FormatDoctorReport(f).find("Opening /dev/hidraw3 failed: No such device."), std::string::npos);
}

TEST_F(DoctorTest, BusyNamesTheProcessThatHoldsIt) {
    Processor();
    Rule();
    Process(100, "m7qctl", "/dev/hidraw3");       // this process
    Process(4242, "m7q-console", "/dev/hidraw3"); // the console
    Process(77, "pipewire", "/dev/snd/pcmC0D0p");
    const DoctorFinding f = ExamineDevice(sys);
    EXPECT_EQ(static_cast<int>(f.verdict), 5);
    ASSERT_EQ(f.holders.size(), 1u);
    EXPECT_EQ(f.holders[0].nPid, 4242);
    EXPECT_EQ(FormatDoctorReport(f),
              "device: /dev/hidraw3 is the processor (USB 2010:1031)\n"
              "udev rule: /usr/lib/udev/rules.d/60-m7q.rules\n"
              "permission: this user may open /dev/hidraw3\n"
              "in use: held by m7q-console (pid 4242)\n"
              "  /dev/hidraw3 is held by m7q-console (pid 4242);\n"
              "  two programs on one processor take each other's replies: close it first.\n");
    EXPECT_EQ(DoctorSummary(f, false), "/dev/hidraw3 is in use by m7q-console");
    EXPECT_EQ(DoctorSummary(f, true), "/dev/hidraw3 正被 m7q-console 占用");
}

TEST_F(DoctorTest, AnswersTellModelAndCommandSet) {
    Processor();
    Rule();
    Process(77, "pipewire", "/dev/snd/pcmC0D0p");
    const std::string free = "device: /dev/hidraw3 is the processor (USB 2010:1031)\n"
                             "udev rule: /usr/lib/udev/rules.d/60-m7q.rules\n"
                             "permission: this user may open /dev/hidraw3\n"
                             "in use: no other process holds /dev/hidraw3\n";
    struct Case {
        const char* faults; // for the simulated processor
        int nStatus;
        std::string strAnswers;
        uint64_t nModelRequests, nVersionRequests;
    };
    const Case cases[] = {
        {"", 0,
         "answers: model \"M7Q\", command-set version 18\n"
         "all well: m7q-console and m7qctl can use the processor\n",
         1, 1},
        {"model-second-try", 0,
         "answers: model \"M7Q\", command-set version 18\n"
         "all well: m7q-console and m7qctl can use the processor\n",
         2, 1},
        {"version=17", 7,
         "answers: model \"M7Q\", command-set version 17\n"
         "  This console works with model \"M7Q\", command-set version 18: use the software that came with "
         "the "
         "processor.\n",
         1, 1},
        {"wrong-model", 7,
         "answers: model \"M5X\", command-set version 18\n"
         "  This console works with model \"M7Q\", command-set version 18: use the software that came with "
         "the "
         "processor.\n",
         2, 1},
        {"silent", 6,
         "answers: no answer to the model request (asked twice, 1800 ms each)\n"
         "  It opened, but the processor does not answer. Switch it off and on, and plug it in again.\n",
         2, 0},
    };
    for (const Case& c : cases) {
        DoctorFinding f = ExamineDevice(sys);
        ASSERT_EQ(f.verdict, DoctorVerdict::Ok);
        CSimBackend sim;
        SimFaults faults;
        faults.bModelOnSecondAttempt = std::string(c.faults) == "model-second-try";
        faults.nCmdVersion = std::string(c.faults) == "version=17" ? 17 : 0;
        faults.bWrongModel = std::string(c.faults) == "wrong-model";
        faults.bSilent = std::string(c.faults) == "silent";
        sim.SetFaults(faults);
        AskIdentity(sim, f);
        EXPECT_EQ(static_cast<int>(f.verdict), c.nStatus) << c.faults;
        EXPECT_EQ(FormatDoctorReport(f), free + c.strAnswers) << c.faults;
        // The two requests and nothing else.
        const SimCounters n = sim.Counters();
        EXPECT_EQ(n.nReceived[CMD_GET_MODEL], c.nModelRequests) << c.faults;
        EXPECT_EQ(n.nReceived[CMD_GET_CMD_VERSION], c.nVersionRequests) << c.faults;
        EXPECT_EQ(n.nReceivedTotal, c.nModelRequests + c.nVersionRequests) << c.faults;
    }
}
