#include "cli/Doctor.h"

#include "link/hidapi/HidapiBackend.h"
#include "sync/Doctor.h"

#include <iostream>

int CmdDoctor(const std::vector<std::string>& args, bool bSim, const SimFaults& faults) {
    if (args.size() != 1) {
        std::cerr << "m7qctl: doctor takes no arguments\n";
        return 2;
    }
    DoctorFinding finding;
    if (bSim) {
        finding.bSimulated = true;
        CSimBackend sim;
        sim.SetFaults(faults);
        AskIdentity(sim, finding);
    } else {
        finding = ExamineDevice(HostDoctorSystem());
        if (finding.verdict == DoctorVerdict::Ok) {
            CHidapiBackend hid;
            AskIdentity(hid, finding);
        }
    }
    std::cout << FormatDoctorReport(finding);
    return static_cast<int>(finding.verdict);
}
