#include "ui/replace_check.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <QTemporaryFile>

#include <filesystem>
#include <utility>

namespace partwright {

namespace {

QString PathText(const std::filesystem::path& path) { return QString::fromStdU16String(path.u16string()); }

// The folders the pieces would go into, each once, in list order.
QStringList PieceFolders(const SourceList& sources, const RunOptions& options) {
    if (!options.outputFolder.empty()) return {QFileInfo(PathText(options.outputFolder)).absoluteFilePath()};
    QStringList folders;
    for (int position = 1; position <= sources.Count(); ++position) {
        const QFileInfo source(PathText(sources.At(position)));
        if (!source.exists()) continue;
        const QString folder = source.absolutePath();
        if (!folders.contains(folder)) folders << folder;
    }
    return folders;
}

// Why no new file can be made in `folder`, or nothing when one can: the only
// sure test is to make one.
std::optional<QString> CannotWriteInto(const QString& folder) {
    if (!QFileInfo(folder).isDir()) return QCoreApplication::translate("ReplaceCheck", "the folder does not exist");
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".partwright-probe-XXXXXX")));
    if (!probe.open()) return probe.errorString();
    return std::nullopt;
}

// Yields to the window's events now and then, as the run itself does, so the
// window stays alive through a long dry run.
class DryRunHost final : public RunHost {
public:
    explicit DryRunHost(std::function<bool()> keepGoing) : keepGoing_(std::move(keepGoing)) { since_.start(); }
    bool Yield() override {
        constexpr qint64 kEventIntervalMs = 15;
        if (since_.elapsed() >= kEventIntervalMs) {
            QCoreApplication::processEvents();
            since_.restart();
        }
        return keepGoing_();
    }

private:
    std::function<bool()> keepGoing_;
    QElapsedTimer since_;
};

}  // namespace

QString UnwritableFoldersText(const SourceList& sources, const RunOptions& options) {
    QStringList problems;
    for (const QString& folder : PieceFolders(sources, options))
        if (const std::optional<QString> reason = CannotWriteInto(folder))
            problems << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(folder), *reason);
    if (problems.isEmpty()) return {};
    return QCoreApplication::translate("ReplaceCheck", "The pieces cannot be written, so nothing was split:") +
           QLatin1Char('\n') + problems.join(QLatin1Char('\n'));
}

std::optional<std::uint64_t> FilesToReplace(const SourceList& sources, const SplitSettings& settings,
                                            RunOptions options, std::function<bool()> keepGoing) {
    QSet<QString> listed;
    for (int position = 1; position <= sources.Count(); ++position)
        listed.insert(QFileInfo(PathText(sources.At(position))).absoluteFilePath());
    bool othersThere = false;
    for (const QString& folder : PieceFolders(sources, options)) {
        const QDir dir(folder);
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
            if (!listed.contains(dir.absoluteFilePath(name))) othersThere = true;
        if (othersThere) break;
    }
    if (!othersThere) return 0;

    options.dryRun = true;
    DryRunHost host(std::move(keepGoing));
    const RunReport report = SplitRun(sources, settings, host, options);
    if (report.stopped) return std::nullopt;
    return report.piecesReplaced;
}

}  // namespace partwright
