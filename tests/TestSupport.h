// Shared test fixture: a fresh start-up store and a recording link capturing every report sent.
#pragma once

#include "dispatch/Dispatcher.h"
#include "link/Codec.h"
#include "link/Events.h"
#include "link/Link.h"
#include "model/Defaults.h"
#include "model/ParamStore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

struct RecordedEvents : IConsoleEvents {
    std::vector<std::string> errors;
    std::vector<int> keys;
    std::vector<std::pair<uint32_t, uint32_t>> plugs;
    void OnParamError(uint8_t code, uint8_t block, uint8_t param) override {
        errors.push_back(FormatParamError(code, block, param));
    }
    void OnKeyLearned(uint8_t code) override { keys.push_back(code); }
    void OnPlugEvent(uint32_t w, uint32_t l) override { plugs.emplace_back(w, l); }
};

// The store as a fresh start leaves it, with the once-per-run error notice armed again.
inline void FreshStore() {
    g_Param = ParamStore{};
    g_Device = DeviceInfo{};
    g_Status = DeviceStatus{};
    ResetStoreAtStartup();
    ResetParamErrorShown();
}

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        FreshStore();
        SetLink(&link);
        SetConsoleEvents(&events);
    }
    void TearDown() override {
        SetLink(nullptr);
        SetConsoleEvents(nullptr);
    }
    std::vector<Report> Sent() const { return link.Reports(); }

    CRecordingLink link;
    RecordedEvents events;
};

// The store fixture with a fresh folder of its own for files, removed afterwards.
class TempDirTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              ("m7q-" + std::string(info->name()) + "-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
        StoreTest::TearDown();
    }
    std::filesystem::path dir;
};

inline float ValueFloat(const Report& r, int index) {
    return BitsFloat(GetBE32(&r[6 + 4 * index]));
}
inline uint32_t ValueWord(const Report& r, int index) {
    return GetBE32(&r[6 + 4 * index]);
}

// A parameter report as the processor sends it.
inline Report ParamReport(int block, int param, std::vector<uint32_t> values, uint8_t error = 0) {
    Report r{};
    r[0] = 0x02;
    r[1] = CMD_GET_PARAM;
    r[2] = error;
    r[3] = static_cast<uint8_t>(block);
    r[4] = static_cast<uint8_t>(param);
    r[5] = static_cast<uint8_t>(values.size());
    for (size_t i = 0; i < values.size(); ++i)
        PutBE32(&r[6 + 4 * i], values[i]);
    return r;
}

inline Report MakeReport(std::vector<int> bytes) {
    Report r{};
    for (size_t i = 0; i < bytes.size() && i < r.size(); ++i)
        r[i] = static_cast<uint8_t>(bytes[i]);
    return r;
}

inline std::vector<uint8_t> Bytes(const Report& r, size_t from, size_t n) {
    return std::vector<uint8_t>(r.begin() + from, r.begin() + from + n);
}
