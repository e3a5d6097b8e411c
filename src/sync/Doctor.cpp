#include "sync/Doctor.h"

#include "link/Codec.h"
#include "link/Timing.h"
#include "link/Transport.h"
#include "sync/Sync.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>

namespace fs = std::filesystem;

namespace {

constexpr const char* kRuleName = "60-m7q.rules";
// The folders udev reads rules from.
constexpr const char* kRuleDirs[] = {"etc/udev/rules.d", "run/udev/rules.d", "usr/local/lib/udev/rules.d",
                                     "usr/lib/udev/rules.d", "lib/udev/rules.d"};
constexpr size_t kSmallFile = 64 * 1024;

std::string ReadSmall(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text;
    char buf[4096];
    while (in && text.size() < kSmallFile) {
        in.read(buf, sizeof buf);
        text.append(buf, static_cast<size_t>(in.gcount()));
    }
    return text;
}

std::string FirstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

bool HasLine(const std::string& text, const std::string& line) {
    size_t at = 0;
    while (at <= text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        if (text.compare(at, end - at, line) == 0)
            return true;
        at = end + 1;
    }
    return false;
}

// The processor's ids from a hidraw device's uevent ("HID_ID=0003:00002010:00001031").
bool IsProcessorUevent(const std::string& uevent) {
    const size_t at = uevent.find("HID_ID=");
    unsigned bus = 0, vendor = 0, product = 0;
    return at != std::string::npos &&
           std::sscanf(uevent.c_str() + at + 7, "%x:%x:%x", &bus, &vendor, &product) == 3 &&
           vendor == kVendorId && product == kProductId;
}

int NodeNumber(const std::string& name) {
    return std::atoi(name.c_str() + std::min<size_t>(name.size(), 6)); // after "hidraw"
}

bool IsNumber(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool UsbHasProcessor(const fs::path& root) {
    std::error_code ec;
    for (const fs::directory_entry& e : fs::directory_iterator(root / "sys/bus/usb/devices", ec)) {
        char id[16];
        std::snprintf(id, sizeof id, "%04x", kVendorId);
        if (FirstLine(ReadSmall(e.path() / "idVendor")) != id)
            continue;
        std::snprintf(id, sizeof id, "%04x", kProductId);
        if (FirstLine(ReadSmall(e.path() / "idProduct")) == id)
            return true;
    }
    return false;
}

void FindRule(const fs::path& root, const std::string& nodeName, DoctorFinding& f) {
    std::error_code ec;
    for (const char* dir : kRuleDirs) {
        if (fs::exists(root / dir / kRuleName, ec)) {
            f.strRulePath = std::string("/") + dir + "/" + kRuleName;
            break;
        }
    }
    if (f.strRulePath.empty()) {
        f.rule = DoctorRule::Missing;
        return;
    }
    // udev's record of the node: "G:uaccess" (or "Q:uaccess") once the rule has tagged it.
    const std::string devNumbers = FirstLine(ReadSmall(root / "sys/class/hidraw" / nodeName / "dev"));
    const fs::path record = root / "run/udev/data" / ("c" + devNumbers);
    if (devNumbers.empty() || !fs::exists(record, ec)) {
        f.rule = DoctorRule::NoUdevData;
        return;
    }
    const std::string data = ReadSmall(record);
    f.rule = HasLine(data, "G:uaccess") || HasLine(data, "Q:uaccess") ? DoctorRule::Applied
                                                                      : DoctorRule::NotApplied;
}

void FindHolders(const DoctorSystem& sys, DoctorFinding& f) {
    std::error_code ec;
    for (const fs::directory_entry& p : fs::directory_iterator(sys.root / "proc", ec)) {
        const std::string pid = p.path().filename().string();
        if (!IsNumber(pid) || std::atoi(pid.c_str()) == sys.nOwnPid)
            continue;
        std::error_code fdError;
        fs::directory_iterator fds(p.path() / "fd", fdError);
        if (fdError) {
            f.bProcHidden = f.bProcHidden || fdError == std::errc::permission_denied;
            continue;
        }
        for (const fs::directory_entry& fd : fds) {
            std::error_code linkError;
            if (fs::read_symlink(fd.path(), linkError).string() == f.strNode) {
                f.holders.push_back({std::atoi(pid.c_str()), FirstLine(ReadSmall(p.path() / "comm"))});
                break;
            }
        }
    }
    std::sort(f.holders.begin(), f.holders.end(),
              [](const DoctorHolder& a, const DoctorHolder& b) { return a.nPid < b.nPid; });
}

std::string Holder(const DoctorHolder& h) {
    return (h.strName.empty() ? std::string("a process") : h.strName) + " (pid " + std::to_string(h.nPid) +
           ")";
}

std::string Holders(const DoctorFinding& f) {
    std::string text;
    for (size_t i = 0; i < f.holders.size(); ++i)
        text += (i == 0 ? "" : i + 1 == f.holders.size() ? " and " : ", ") + Holder(f.holders[i]);
    return text;
}

// The commands that install the rule (from the source tree) and make udev apply it.
std::string InstallCommands(bool install) {
    std::string text;
    if (install)
        text += std::string("  sudo install -m 644 resources/") + kRuleName + " /etc/udev/rules.d/" +
                kRuleName + "    (in the source tree)\n";
    return text + "  sudo udevadm control --reload\n"
                  "  sudo udevadm trigger --action=change --subsystem-match=hidraw\n";
}

} // namespace

namespace {
std::atomic<const DoctorSystem*> s_pStandIn{nullptr};
} // namespace

void SetHostDoctorSystem(const DoctorSystem* standIn) {
    s_pStandIn = standIn;
}

DoctorSystem HostDoctorSystem() {
    if (const DoctorSystem* standIn = s_pStandIn)
        return *standIn;
    DoctorSystem sys;
    sys.tryOpen = [](const fs::path& node) {
        errno = 0;
        std::fstream device(node, std::ios::in | std::ios::out | std::ios::binary);
        return device.is_open() ? 0 : errno ? errno : EIO;
    };
    std::error_code ec;
    sys.nOwnPid = std::atoi(fs::read_symlink("/proc/self", ec).c_str());
    return sys;
}

DoctorFinding ExamineDevice(const DoctorSystem& sys) {
    DoctorFinding f;
    std::error_code ec;
    std::vector<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(sys.root / "sys/class/hidraw", ec)) {
        const std::string name = e.path().filename().string();
        if (IsProcessorUevent(ReadSmall(e.path() / "device/uevent")))
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return NodeNumber(a) < NodeNumber(b); });
    for (const std::string& name : names)
        f.nodes.push_back("/dev/" + name);
    if (names.empty()) {
        f.verdict = DoctorVerdict::Absent;
        f.bUsbWithoutNode = UsbHasProcessor(sys.root);
        return f;
    }
    f.strNode = f.nodes.front();
    FindRule(sys.root, names.front(), f);
    FindHolders(sys, f);
    f.nOpenError = sys.tryOpen ? sys.tryOpen(sys.root / f.strNode.substr(1)) : 0;
    f.verdict = f.nOpenError != 0    ? DoctorVerdict::NoPermission
                : !f.holders.empty() ? DoctorVerdict::Busy
                                     : DoctorVerdict::Ok;
    return f;
}

void AskIdentity(IHidBackend& backend, DoctorFinding& f) {
    std::mutex mutex;
    std::condition_variable answered;
    bool model = false, version = false;
    int nAnswers = 0; // model and command-set answers so far
    std::string strModel;
    int nVersion = 0;
    LinkHandlers handlers;
    handlers.onReport = [&](const Report& r) {
        std::lock_guard lock(mutex);
        if (r[1] == CMD_GET_MODEL) {
            model = true;
            strModel.clear();
            for (size_t i = 2; i < r.size() && r[i]; ++i)
                strModel += static_cast<char>(r[i]);
        } else if (r[1] == CMD_GET_CMD_VERSION) {
            version = true;
            nVersion = r[2];
        }
        if (r[1] == CMD_GET_MODEL || r[1] == CMD_GET_CMD_VERSION)
            ++nAnswers;
        answered.notify_all();
    };
    CUsbLink link(backend, handlers);
    f.bAsked = true;
    if (!link.Open()) {
        f.verdict = DoctorVerdict::NoPermission;
        f.nOpenError = f.nOpenError ? f.nOpenError : EACCES;
        return;
    }
    f.strOpened = link.DevicePath();
    // Sends a request and waits for its answer: true when one came.
    auto ask = [&](uint8_t code) {
        int before;
        {
            std::lock_guard lock(mutex);
            before = nAnswers;
        }
        link.WriteUsbDataNow(BuildCommand(code, {}));
        std::unique_lock lock(mutex);
        return answered.wait_for(lock, timing::kReplyWait, [&] { return nAnswers > before; });
    };
    const std::string expected = kExpectedModel;
    auto rightModel = [&] {
        std::lock_guard lock(mutex);
        return model && strModel.size() == expected.size() &&
               std::equal(strModel.begin(), strModel.end(), expected.begin(), [](char a, char b) {
                   return std::toupper(static_cast<unsigned char>(a)) ==
                          std::toupper(static_cast<unsigned char>(b));
               });
    };
    // Two attempts at the model, as the identification makes; then the command set.
    if (!ask(CMD_GET_MODEL) || !rightModel())
        ask(CMD_GET_MODEL);
    const bool right = rightModel();
    if (model)
        ask(CMD_GET_CMD_VERSION);
    link.Close();
    std::lock_guard lock(mutex);
    f.bModelAnswered = model;
    f.strModel = strModel;
    f.bVersionAnswered = version;
    f.nCmdVersion = nVersion;
    if (!model || (right && !version))
        f.verdict = DoctorVerdict::Silent;
    else if (!right || nVersion != kExpectedCmdVersion)
        f.verdict = DoctorVerdict::WrongIdentity;
    else
        f.verdict = DoctorVerdict::Ok;
}

namespace {

std::string Pick(bool bChinese, const std::string& zh, const std::string& en) {
    return bChinese ? zh : en;
}

bool PermissionError(int error) {
    return error == EACCES || error == EPERM;
}

std::string Indented(const std::string& text) {
    std::string out;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        out += "  " + text.substr(at, end - at) + "\n";
        at = end + 1;
    }
    return out;
}

} // namespace

std::string DoctorSummary(const DoctorFinding& f, bool zh) {
    switch (f.verdict) {
    case DoctorVerdict::Absent:
        return f.bUsbWithoutNode ? Pick(zh, "处理器没有 hidraw 设备", "the processor has no hidraw device")
                                 : "";
    case DoctorVerdict::NoPermission:
        return PermissionError(f.nOpenError)
                   ? Pick(zh, "无权打开 " + f.strNode, "no permission for " + f.strNode)
                   : Pick(zh, "无法打开 " + f.strNode, f.strNode + " cannot be opened");
    case DoctorVerdict::Busy: {
        const std::string who = f.holders.front().strName.empty()
                                    ? "pid " + std::to_string(f.holders.front().nPid)
                                    : f.holders.front().strName;
        return Pick(zh, f.strNode + " 正被 " + who + " 占用", f.strNode + " is in use by " + who);
    }
    case DoctorVerdict::Silent:
        return Pick(zh, "处理器无应答", "the processor does not answer");
    case DoctorVerdict::WrongIdentity:
        return Pick(zh, "机器型号或通信版本不符", "another model or command-set version");
    default:
        return {};
    }
}

std::string DoctorAdvice(const DoctorFinding& f, bool zh) {
    switch (f.verdict) {
    case DoctorVerdict::Absent:
        if (f.bUsbWithoutNode)
            return Pick(zh,
                        "处理器已接在 USB 上（2010:1031），但内核没有为它建立 hidraw 设备。请重新插拔；"
                        "\"sudo dmesg | tail\" 显示内核的信息。",
                        "The processor is on USB (2010:1031), but the kernel made no hidraw device for it.\n"
                        "Plug it in again; \"sudo dmesg | tail\" shows what the kernel said.");
        return Pick(zh, "没有找到处理器：请确认它已开机，USB 线已接到这台电脑。",
                    "Is the processor switched on, and its USB cable plugged into this computer?");
    case DoctorVerdict::NoPermission: {
        if (!PermissionError(f.nOpenError))
            return Pick(
                zh, "打开 " + f.strNode + " 出错：" + std::strerror(f.nOpenError) + "。请重新插拔处理器。",
                "Opening " + f.strNode + " failed: " + std::strerror(f.nOpenError) +
                    ". Plug the processor in again.");
        const std::string head =
            Pick(zh, "处理器已连接（" + f.strNode + "），但当前用户无权打开它。\n",
                 "The processor is connected (" + f.strNode + "), but this user may not open it.\n");
        switch (f.rule) {
        case DoctorRule::Missing:
            return head +
                   Pick(zh,
                        "让登录用户打开处理器的 udev 规则 60-m7q.rules 没有安装（m7q-console "
                        "软件包会安装它）。"
                        "安装并重新加载 udev：\n",
                        "The udev rule 60-m7q.rules that lets the logged-in user open it is not installed\n"
                        "(the m7q-console package installs it). Install it and reload udev:\n") +
                   InstallCommands(true) +
                   Pick(zh, "然后重新插拔处理器。", "Then plug the processor in again.");
        case DoctorRule::NotApplied:
            return head +
                   Pick(zh,
                        "udev 规则已安装（" + f.strRulePath + "），但 udev 还没有把它用到 " + f.strNode +
                            "：重新加载 udev 并应用：\n",
                        "The udev rule is installed (" + f.strRulePath +
                            "), but udev has not applied it to " + f.strNode +
                            " yet.\nReload udev and apply it:\n") +
                   InstallCommands(false) +
                   Pick(zh, "或者重新插拔处理器。", "or plug the processor in again.");
        case DoctorRule::Applied:
            return head +
                   Pick(zh,
                        "udev 已应用规则：" + f.strNode +
                            " 只对本机桌面会话的用户开放（uaccess）。当前用户不是该会话"
                            "（例如经 ssh 登录）：请在桌面会话中运行，或在规则中加上 GROUP=\"plugdev\", "
                            "MODE=\"0660\" 并把用户加入该组（sudo usermod -aG plugdev $USER）。",
                        "udev has applied the rule: " + f.strNode +
                            " is open to the user of the local desktop session (uaccess),\n"
                            "and this user is not that session (logged in over ssh?). Run it from the "
                            "desktop,\nor add GROUP=\"plugdev\", MODE=\"0660\" to the rule and join the "
                            "group:\n  sudo usermod -aG plugdev $USER");
        case DoctorRule::NoUdevData:
            return head +
                   Pick(zh,
                        "udev 规则已安装（" + f.strRulePath + "），但 udev 没有 " + f.strNode +
                            " 的记录：udev 可能没有运行。启动 udev 后：\n",
                        "The udev rule is installed (" + f.strRulePath + "), but udev keeps no record of " +
                            f.strNode + ":\nudev may not be running here. Once it runs:\n") +
                   InstallCommands(false);
        }
        return head;
    }
    case DoctorVerdict::Busy:
        return Pick(zh,
                    f.strNode + " 正被 " + Holders(f) +
                        " 占用；两个程序同时使用处理器会互相抢走应答：请先关闭它。",
                    f.strNode + " is held by " + Holders(f) +
                        ";\ntwo programs on one processor take each other's replies: close it first.");
    case DoctorVerdict::Silent:
        return Pick(
            zh, "处理器已打开，但没有应答。请关闭处理器电源再打开，并重新插拔 USB。",
            "It opened, but the processor does not answer. Switch it off and on, and plug it in again.");
    case DoctorVerdict::WrongIdentity:
        return Pick(zh, "这台机器与本软件不匹配：请使用机器配套的软件。",
                    "This console works with model \"" + std::string(kExpectedModel) +
                        "\", command-set version " + std::to_string(kExpectedCmdVersion) +
                        ": use the software that came with the processor.");
    case DoctorVerdict::Ok:
        break;
    }
    return {};
}

std::string FormatDoctorReport(const DoctorFinding& f) {
    std::string out;
    if (f.bSimulated) {
        out += "device: the simulated processor (no USB checks)\n";
    } else {
        if (f.nodes.empty())
            return "device: no hidraw device has the processor's USB ids 2010:1031\n" +
                   Indented(DoctorAdvice(f, false));
        out += "device: " + f.strNode + " is the processor (USB 2010:1031)";
        if (f.nodes.size() > 1) {
            out += "; " + std::to_string(f.nodes.size() - 1) + " more:";
            for (size_t i = 1; i < f.nodes.size(); ++i)
                out += " " + f.nodes[i];
        }
        out +=
            "\nudev rule: " + (f.strRulePath.empty() ? std::string("not installed") : f.strRulePath) + "\n";
        if (f.verdict == DoctorVerdict::NoPermission && !f.bAsked)
            return out + "permission: this user cannot open " + f.strNode +
                   " for reading and writing: " + std::strerror(f.nOpenError) + "\n" +
                   Indented(DoctorAdvice(f, false));
        out += "permission: this user may open " + f.strNode + "\n";
        if (!f.holders.empty())
            return out + "in use: held by " + Holders(f) + "\n" + Indented(DoctorAdvice(f, false));
        out += "in use: no other process" +
               std::string(f.bProcHidden ? " that this user may look into" : "") + " holds " + f.strNode +
               "\n";
    }
    if (!f.bAsked)
        return out;
    if (f.verdict == DoctorVerdict::NoPermission)
        return out + "answers: the processor could not be opened to ask it\n";
    if (!f.bModelAnswered)
        return out + "answers: no answer to the model request (asked twice, " +
               std::to_string(timing::kReplyWait.count()) + " ms each)\n" + Indented(DoctorAdvice(f, false));
    out += "answers: model \"" + f.strModel + "\"";
    if (!f.bVersionAnswered)
        return out + ", but no answer to the command-set request\n" + Indented(DoctorAdvice(f, false));
    out += ", command-set version " + std::to_string(f.nCmdVersion) + "\n";
    if (f.verdict == DoctorVerdict::WrongIdentity)
        return out + Indented(DoctorAdvice(f, false));
    return out + "all well: m7q-console and m7qctl can use the processor\n";
}
