// Times one run of the window from the click on Split! to the end box, and
// how alive the window stayed meanwhile:
//
//   window_run_bench --lines N SOURCE
//
// prints "seconds cpu-seconds longest-event-wait-ms longest-progress-gap-ms
// pieces" on one line; the CPU time (user and system) is the run's alone. The event wait is the longest time a 5 ms
// timer went without firing (a click or a close request waits as long); the progress gap is the longest time the
// progress display (bar or title) went without a change. The window runs on the platform Qt picks (set
// QT_QPA_PLATFORM=xcb under Xvfb: the offscreen platform handles events far more cheaply than a real display). The
// settings store points at a temporary folder, never the user's own.
#include "filelist/file_list.h"
#include "partwright/line_end.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/settings_store.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

class GapMeter {
public:
    void Start() {
        clock_.start();
        last_ = 0;
        longest_ = 0;
    }
    void Tick() {
        const qint64 now = clock_.nsecsElapsed();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }
    [[nodiscard]] double LongestMs() const { return static_cast<double>(longest_) / 1e6; }

private:
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QTemporaryDir configHome;
    if (!configHome.isValid()) return 2;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    QApplication app(argc, argv);

    const QStringList args = QApplication::arguments();
    if (args.size() != 4 || args[1] != QLatin1String("--lines")) {
        std::fprintf(stderr, "usage: window_run_bench --lines N SOURCE\n");
        return 2;
    }
    const QString source = QDir(args[3]).absolutePath();

    // The command line's defaults: the platform's line end, code page auto, whole sources.
    {
        namespace keys = partwright::settings_keys;
        partwright::SettingsStore store;
        store.Write(keys::kLineEnd, partwright::kDefaultLineEnd == partwright::LineEnd::CrLf ? QStringLiteral("crlf")
                                                                                             : QStringLiteral("auto"));
        store.Write(keys::kCodePage, QStringLiteral("auto"));
        store.Write(keys::kWholeSources, QStringLiteral("1"));
    }
    partwright::MainWindow window;
    window.show();
    // Let the window reach the screen before the clock starts.
    {
        QEventLoop settle;  // waits for events instead of spinning, so a profile shows the run alone
        QTimer::singleShot(300, &settle, &QEventLoop::quit);
        settle.exec();
    }

    window.AddSources({source});
    window.findChild<QLineEdit*>("linesPerPieceField")->setText(args[2]);
    window.findChild<QRadioButton*>("linesOption")->setChecked(true);
    window.findChild<QRadioButton*>("numberedOption")->setChecked(true);

    QElapsedTimer run;
    double seconds = -1;
    double cpuAtStart = 0;
    double cpu = 0;
    QString endText;
    partwright::SetMessageSink([&](QWidget*, const QString& text, const QString&) {
        if (text.startsWith(QLatin1String("Done"))) {
            seconds = static_cast<double>(run.nsecsElapsed()) / 1e9;
            cpu = CpuSeconds() - cpuAtStart;
            endText = text;
        }
    });

    GapMeter events;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] { events.Tick(); });
    GapMeter progress;
    QObject::connect(window.findChild<QProgressBar*>(QStringLiteral("runProgress")), &QProgressBar::valueChanged,
                     [&] { progress.Tick(); });
    QObject::connect(&window, &QWidget::windowTitleChanged, [&] { progress.Tick(); });

    auto* split = window.findChild<QToolButton*>("splitButton");
    probe.start();
    events.Start();
    progress.Start();
    cpuAtStart = CpuSeconds();
    run.start();
    split->click();
    probe.stop();
    events.Tick();
    progress.Tick();

    if (seconds < 0) {
        std::fprintf(stderr, "the run ended without its end box\n");
        return 1;
    }
    // Below "Done." the box says how many pieces went where.
    if (endText.section(QStringLiteral("\n\n"), 0, 0) != QLatin1String("Done."))
        std::fprintf(stderr, "%s\n", qPrintable(endText));
    const QStringList pieces =
        QDir(QFileInfo(source).absolutePath()).entryList({QFileInfo(source).completeBaseName() + "-*"}, QDir::Files);
    std::printf("%.3f %.3f %.1f %.1f %lld\n", seconds, cpu, events.LongestMs(), progress.LongestMs(),
                static_cast<long long>(pieces.size()));
    return 0;
}
