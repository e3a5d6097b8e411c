// m7q-console: the desktop console, on a processor over USB or on the built-in simulated processor.
#include "app/AboutDlg.h"
#include "app/App.h"
#include "app/MainFrame.h"
#include "app/MainView.h"
#include "app/Ribbon.h"
#include "app/Settings.h"
#include "app/SingleInstance.h"
#include "link/Events.h"
#include "link/Timing.h"
#include "link/TraceFile.h"
#include "model/Defaults.h"
#include "pages/PageRegistry.h"
#include "sim/SimFaultList.h"
#include "ui/ConsoleLink.h"
#include "ui/Language.h"
#include "ui/Notices.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <utility>

namespace {

constexpr double kFastScale = 0.02;
constexpr int kNoDeviceScreenshotMs = 3000;

QString SimStatePath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("m7q-console/simulated-processor.state"));
}

int Fail(const QString& text, int code) {
    std::fprintf(stderr, "m7q-console: %s\n", qPrintable(text));
    return code;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("m7q-console"));
    QApplication::setApplicationVersion(QStringLiteral("1.4.4"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/resources/icons/m7q-console.svg")));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Control and tuning console for the M7Q audio processor.\n"
        "Undo: Alt+Backspace; redo: Ctrl+Y or Shift+Alt+Backspace (Ctrl+Z is the music mute's Z)."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption simulate(QStringLiteral("simulate"),
                                      QStringLiteral("Use the built-in simulated processor instead of USB."));
    const QCommandLineOption simFault(
        QStringLiteral("sim-fault"),
        QStringLiteral(
            "Make the simulated processor misbehave (implies --simulate). LIST is a comma-separated "
            "set of %1.")
            .arg(QString::fromStdString(SimFaultSummary())),
        QStringLiteral("LIST"));
    const QCommandLineOption trace(
        QStringLiteral("trace"),
        QStringLiteral("Write every report sent (\"> \") and received (\"< \") to FILE, "
                       "as m7qctl --trace does."),
        QStringLiteral("FILE"));
    const QCommandLineOption fast(QStringLiteral("fast"), QStringLiteral("Shorten the settle delays."));
    const QCommandLineOption lang(QStringLiteral("lang"), QStringLiteral("Language of this run: zh or en."),
                                  QStringLiteral("zh|en"));
    const QString comma = QStringLiteral(", ");
    const QCommandLineOption page(
        QStringLiteral("page"),
        QStringLiteral("Page to show after the first synchronisation: %1, a tool "
                       "window (%2), or the dialog about.")
            .arg(PageNames(PageHost::MainView).join(comma), PageNames(PageHost::ToolWindow).join(comma)),
        QStringLiteral("NAME"));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Render the window to FILE.png after the first "
                                                       "synchronisation (or 3 s without a device) and exit."),
                                        QStringLiteral("FILE.png"));
    parser.addOptions({simulate, simFault, fast, lang, page, screenshot, trace});
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A mode file (*.vm3zt) to open."),
                                 QStringLiteral("[file]"));
    parser.process(app);

    QString file = parser.positionalArguments().value(0);
    if (!file.isEmpty())
        file = QFileInfo(file).absoluteFilePath();
    const QString pageName = parser.value(page).toLower();
    const QStringList kPages = PageNames() << QStringLiteral("about");
    if (!pageName.isEmpty() && !kPages.contains(pageName))
        return Fail(QStringLiteral("page \"%1\" is not part of this console yet (try: %2)")
                        .arg(pageName, kPages.join(QStringLiteral(", "))),
                    2);
    if (parser.isSet(lang) && parser.value(lang) != QLatin1String("zh") &&
        parser.value(lang) != QLatin1String("en"))
        return Fail(QStringLiteral("--lang takes zh or en"), 2);
    const QString shotPath = parser.value(screenshot);
    SimFaults faults;
    if (parser.isSet(simFault)) {
        std::string error;
        if (!ParseSimFaults(parser.value(simFault).toStdString(), faults, error))
            return Fail(QStringLiteral("--sim-fault: %1").arg(QString::fromStdString(error)), 2);
    }
    const bool simulated = parser.isSet(simulate) || parser.isSet(simFault);
    CTraceFile traceFile;
    if (std::string error; parser.isSet(trace) && !traceFile.Open(parser.value(trace).toStdString(), error))
        return Fail(QString::fromStdString(error), 3);

    // One console per user; a screenshot run is a tool and may run beside it.
    CSingleInstance single;
    if (shotPath.isEmpty()) {
        switch (single.Acquire(file)) {
        case CSingleInstance::Result::Primary:
            break;
        case CSingleInstance::Result::Forwarded:
            return 0;
        case CSingleInstance::Result::NoWindow:
            QMessageBox::warning(nullptr, QStringLiteral("M7Q"),
                                 QString::fromUtf8("已有一个实例在运行，但找不到它的主窗口！"));
            return 1;
        case CSingleInstance::Result::LockFailed:
            QMessageBox::warning(nullptr, QStringLiteral("M7Q"),
                                 QString::fromUtf8("创建信标对象失败，程序退出！"));
            return 1;
        }
    }

    if (parser.isSet(fast))
        SetSettleScale(kFastScale);
    SetLanguage(parser.isSet(lang) ? (parser.value(lang) == QLatin1String("en") ? 1 : 0)
                                   : ReadLanguageSetting());
    ResetStoreAtStartup();

    CQX7745v13App console;
    CConsoleLink link(simulated ? CConsoleLink::Kind::Simulated : CConsoleLink::Kind::Usb,
                      simulated ? SimStatePath() : QString());
    if (link.Sim())
        link.Sim()->SetFaults(faults);
    if (traceFile.IsOpen())
        link.Link().SetTrace(
            [&traceFile](char direction, const Report& r) { traceFile.Write(direction, r); });
    auto* view = new CQX7745v13View(&link);
    CMainFrame frame(view);
    // A screenshot of the window then says what the processor was made to do.
    if (const std::string list = FormatSimFaults(faults); !list.empty())
        frame.setWindowTitle(frame.windowTitle() + QStringLiteral(" — sim-fault ") +
                             QString::fromStdString(list));
    console.SetMainWindow(&frame, view);
    SetNoticeOwner(&frame);
    view->ApplyLanguage();

    // A file handed over while a transfer or a modal box runs waits for its end: opening it at once
    // would load the store under the running transfer, or nest the write-all inside the box.
    QString handedOver;
    QTimer handOver;
    handOver.setInterval(250);
    auto openHandedOver = [&handOver, &handedOver, &link, view] {
        if (link.Conn().SyncRunning() || SyncDialogRunning() || QApplication::activeModalWidget()) {
            handOver.start();
            return;
        }
        handOver.stop();
        const QString path = std::exchange(handedOver, QString());
        if (path.isEmpty())
            return;
        view->OpenModeFilePath(path);
        DebugText("single instance: hand-over handled\n");
    };
    QObject::connect(&handOver, &QTimer::timeout, &frame, openHandedOver);
    QObject::connect(&single, &CSingleInstance::Activated, &frame,
                     [&frame, &handedOver, openHandedOver](const QString& path) {
                         if (frame.isMinimized())
                             frame.showNormal();
                         frame.raise();
                         frame.activateWindow();
                         if (!path.isEmpty()) {
                             handedOver = path; // the latest hand-over wins
                             openHandedOver();
                         }
                     });

    // What waits for the first synchronisation (or for 3 s without a device).
    bool firstDone = false;
    auto afterFirstSync = [&](bool ok) {
        if (firstDone)
            return;
        firstDone = true;
        if (ok && !file.isEmpty())
            QTimer::singleShot(0, view, [view, file] { view->OpenModeFilePath(file); });
        QWidget* target = &frame;
        const PageRow* named = FindPageByName(pageName);
        if (named && named->category != PageCategory::None)
            frame.Ribbon()->SetActiveCategory(named->category == PageCategory::Output ? CMainFrame::kOutput
                                                                                      : CMainFrame::kInput);
        else if (const PageRow* row = named) {
            // Other pages show in the main view or as their own window, as the registry says.
            view->OpenPage(row->nTemplate);
            if (row->host == PageHost::ToolWindow)
                if (QWidget* window = view->ToolWindows().Window(row->nTemplate))
                    target = window;
        }
        if (pageName == QLatin1String("about")) {
            auto* about = new CAboutDlg(&frame, &link.Conn());
            about->setAttribute(Qt::WA_DeleteOnClose);
            about->show();
            target = about;
        }
        if (!shotPath.isEmpty()) {
            // A tool window may load data of its own when it opens (the plug window does after 200 ms):
            // it is shown once that load's synchronisation dialog has gone.
            const bool toolWindow = target != &frame && FindPageByName(pageName) &&
                                    FindPageByName(pageName)->host == PageHost::ToolWindow;
            auto* shot = new QTimer(&frame);
            shot->setInterval(100);
            QObject::connect(shot, &QTimer::timeout, &frame, [&link, target, shotPath, shot] {
                if (SyncDialogRunning())
                    return;
                shot->stop();
                const bool saved = target->grab().save(shotPath);
                link.Conn().Disconnect();
                if (!saved)
                    std::fprintf(stderr, "m7q-console: cannot write %s\n", qPrintable(shotPath));
                QCoreApplication::exit(saved ? 0 : 3);
            });
            QTimer::singleShot(toolWindow ? 400 : 0, shot, qOverload<>(&QTimer::start));
        }
    };
    QObject::connect(view, &CQX7745v13View::SyncHandled, &frame, afterFirstSync);
    QTimer::singleShot(kNoDeviceScreenshotMs, &frame, [&] {
        if (!link.Link().IsOpen())
            afterFirstSync(false);
    });

    frame.show();
    view->StartConnectTimer();
    link.StartMonitor();
    int status = app.exec();
    console.DestroyToolWindows();
    if (traceFile.IsOpen()) {
        link.Link().SetTrace(nullptr);
        traceFile.Note("merged " + std::to_string(link.Link().MergedCount()));
        if (!traceFile.Good()) {
            std::fprintf(stderr, "m7q-console: writing the trace file %s failed\n",
                         qPrintable(parser.value(trace)));
            status = status ? status : 3;
        }
    }
    if (const QString error = link.SaveSimState(); !error.isEmpty())
        std::fprintf(stderr, "m7q-console: simulated processor state not saved: %s\n", qPrintable(error));
    return status;
}
