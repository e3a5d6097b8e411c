// Why a processor cannot be used, in plain words: is a hidraw node with the processor's USB ids
// present, may this user open it, does another process hold it, and does it answer the model and
// command-set requests. `m7qctl doctor` prints the whole finding; the console shows its summary and
// advice when a processor is present but cannot be opened.
#pragma once

#include "link/HidBackend.h"

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Also m7qctl doctor's exit status.
enum class DoctorVerdict : int {
    Ok = 0,            // present, opens, free, answers as this console expects
    Absent = 1,        // no hidraw node with the processor's ids
    NoPermission = 4,  // present, but this user cannot open it
    Busy = 5,          // another process holds it open
    Silent = 6,        // opened, but no answer to the model or command-set request
    WrongIdentity = 7, // answers with another model or command-set version
};

// The project's udev rule (60-m7q.rules) as this machine has it.
enum class DoctorRule {
    Missing,    // in no folder udev reads
    NotApplied, // installed, but udev has not tagged the node (not reloaded, not triggered)
    Applied,    // the node is tagged uaccess: access goes to the user of the local session
    NoUdevData, // installed, but udev keeps no record of the node (udev not running?)
};

struct DoctorHolder {
    int nPid = 0;
    std::string strName; // from /proc/PID/comm; "" when it cannot be read
};

struct DoctorFinding {
    DoctorVerdict verdict = DoctorVerdict::Absent;
    std::vector<std::string> nodes; // every /dev/hidrawN with the processor's ids
    std::string strNode;            // the one examined: the first
    bool bUsbWithoutNode = false;   // the processor is on USB, but no hidraw node was made for it
    int nOpenError = 0;             // errno of opening strNode for reading and writing
    DoctorRule rule = DoctorRule::Missing;
    std::string strRulePath;           // where the rule is installed
    std::vector<DoctorHolder> holders; // other processes that hold strNode open
    bool bProcHidden = false;          // some processes could not be looked into
    bool bSimulated = false;           // the simulated processor: no device checks
    // The conversation (AskIdentity).
    bool bAsked = false;
    std::string strOpened; // the device the backend opened
    bool bModelAnswered = false;
    std::string strModel;
    bool bVersionAnswered = false;
    int nCmdVersion = 0;
};

// What the checks look at: a file-system root holding dev/, sys/, proc/, run/, etc/ and usr/lib/
// ("/" on a real system, a folder in tests), and how to try an open.
struct DoctorSystem {
    std::filesystem::path root{"/"};
    // 0 when `node` opens for reading and writing, else the errno.
    std::function<int(const std::filesystem::path& node)> tryOpen;
    int nOwnPid = 0; // not counted as a holder
};
// This machine: "/", a real open, this process; or what a test put in its place.
DoctorSystem HostDoctorSystem();
void SetHostDoctorSystem(const DoctorSystem* standIn); // nullptr: this machine again

// Presence, permission and holders, without talking to the device. The verdict is Ok when nothing
// stands in the way of opening it.
DoctorFinding ExamineDevice(const DoctorSystem& sys);
// Opens the processor through `backend` and asks for its model (twice at most) and command-set
// version, each paced by its reply as every command is; the verdict follows from the answers.
// Nothing else is sent. Only when the examination found nothing in the way.
void AskIdentity(IHidBackend& backend, DoctorFinding& finding);

// The whole finding, one check a line, for m7qctl doctor.
std::string FormatDoctorReport(const DoctorFinding& finding);
// One phrase for a status bar ("" when all is well or no processor is there) and the advice that goes
// with it (what is wrong and the commands that fix it), Chinese or English.
std::string DoctorSummary(const DoctorFinding& finding, bool bChinese);
std::string DoctorAdvice(const DoctorFinding& finding, bool bChinese);
