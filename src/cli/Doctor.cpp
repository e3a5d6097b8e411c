#include "cli/Doctor.h"

#include "cli/Language.h"
#include "cli/Progress.h"
#include "link/hidapi/HidapiBackend.h"
#include "sync/Doctor.h"

#include <iostream>

int CmdDoctor(const std::vector<std::string>& args, bool bSim, const SimFaults& faults) {
    if (args.size() != 1) {
        std::cerr << "m7qctl: " << Say("doctor takes no arguments", "doctor 不接参数") << "\n";
        return 2;
    }
    DoctorFinding finding;
    const auto ask = [&finding](IHidBackend& backend) {
        const CWaitNotice notice(Say("asking the processor for its model and command-set version",
                                     "正在询问处理器的型号和通信版本"));
        AskIdentity(backend, finding);
    };
    if (bSim) {
        finding.bSimulated = true;
        CSimBackend sim;
        sim.SetFaults(faults);
        ask(sim);
    } else {
        finding = ExamineDevice(HostDoctorSystem());
        if (finding.verdict == DoctorVerdict::Ok) {
            CHidapiBackend hid;
            ask(hid);
        }
    }
    std::cout << FormatDoctorReport(finding);
    return static_cast<int>(finding.verdict);
}
