// Cold start of the console on the simulated processor to a written screenshot, and its peak memory.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

namespace {

void BM_ConsoleColdStartToScreenshot(benchmark::State& state) {
    QTemporaryDir home;
    const std::string shot = QDir(home.path()).filePath(QStringLiteral("shot.png")).toStdString();
    std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "XDG_DATA_HOME=" + home.path().toStdString(),
                                    "XDG_CONFIG_HOME=" + home.path().toStdString(),
                                    "XDG_RUNTIME_DIR=" + home.path().toStdString(),
                                    "HOME=" + home.path().toStdString()};
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string path = M7Q_CONSOLE_PATH;
    std::vector<std::string> args = {path, "--simulate", "--fast", "--screenshot", shot};
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    long peakKiB = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        pid_t pid = 0;
        if (posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) {
            state.SkipWithError("cannot start the console");
            return;
        }
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !QFile::exists(QString::fromStdString(shot))) {
            state.SkipWithError("the console did not write its screenshot");
            return;
        }
        peakKiB = std::max(peakKiB, long(usage.ru_maxrss));
    }
    state.counters["peak_MiB"] = double(peakKiB) / 1024.0;
}
BENCHMARK(BM_ConsoleColdStartToScreenshot)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

} // namespace
