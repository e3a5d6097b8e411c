#include "link/hidapi/DeviceMonitor.h"

#include <chrono>
#include <cstring>
#include <libudev.h>
#include <poll.h>
#include <unistd.h>

CDeviceMonitor::CDeviceMonitor(Callback onArrival, Callback onRemoval)
    : m_onArrival(std::move(onArrival)), m_onRemoval(std::move(onRemoval)) {}

CDeviceMonitor::~CDeviceMonitor() {
    Stop();
}

void CDeviceMonitor::Start(IHidBackend& pollBackend) {
    Stop();
    m_bStop = false;
    if (pipe(m_stopPipe) != 0)
        m_stopPipe[0] = m_stopPipe[1] = -1;
    udev* u = udev_new();
    udev_monitor* mon = u ? udev_monitor_new_from_netlink(u, "udev") : nullptr;
    if (mon && udev_monitor_filter_add_match_subsystem_devtype(mon, "hidraw", nullptr) >= 0 &&
        udev_monitor_enable_receiving(mon) >= 0 && m_stopPipe[0] >= 0) {
        m_bUdev = true;
        m_thread = std::thread([this, mon] { RunUdev(mon); });
        return;
    }
    if (mon)
        udev_monitor_unref(mon);
    if (u)
        udev_unref(u);
    m_bUdev = false;
    m_thread = std::thread([this, &pollBackend] { RunPolling(pollBackend); });
}

void CDeviceMonitor::Stop() {
    m_bStop = true;
    if (m_stopPipe[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] ssize_t n = write(m_stopPipe[1], &c, 1);
    }
    if (m_thread.joinable())
        m_thread.join();
    for (int& fd : m_stopPipe) {
        if (fd >= 0)
            close(fd);
        fd = -1;
    }
}

void CDeviceMonitor::RunUdev(void* monitor) {
    auto* mon = static_cast<udev_monitor*>(monitor);
    pollfd fds[2] = {{udev_monitor_get_fd(mon), POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
    while (!m_bStop) {
        if (poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents)
            break;
        if (!(fds[0].revents & POLLIN))
            continue;
        udev_device* dev = udev_monitor_receive_device(mon);
        if (!dev)
            continue;
        const char* action = udev_device_get_action(dev);
        const char* node = udev_device_get_devnode(dev);
        if (action && node) {
            if (std::strcmp(action, "add") == 0 && m_onArrival)
                m_onArrival(node);
            else if (std::strcmp(action, "remove") == 0 && m_onRemoval)
                m_onRemoval(node);
        }
        udev_device_unref(dev);
    }
    udev* u = udev_monitor_get_udev(mon);
    udev_monitor_unref(mon);
    udev_unref(u);
}

void CDeviceMonitor::RunPolling(IHidBackend& backend) {
    auto paths = [&] {
        std::set<std::string> s;
        for (const HidDeviceInfo& d : backend.Enumerate())
            s.insert(d.path);
        return s;
    };
    std::set<std::string> known = paths();
    while (!m_bStop) {
        pollfd fd = {m_stopPipe[0], POLLIN, 0};
        if (m_stopPipe[0] >= 0 ? poll(&fd, 1, 1000) > 0
                               : (std::this_thread::sleep_for(std::chrono::seconds(1)), false))
            break;
        const std::set<std::string> now = paths();
        for (const std::string& p : known)
            if (!now.count(p) && m_onRemoval)
                m_onRemoval(p);
        for (const std::string& p : now)
            if (!known.count(p) && m_onArrival)
                m_onArrival(p);
        known = now;
    }
}
