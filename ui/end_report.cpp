#include "ui/end_report.h"

#include "partwright/messages.h"

#include <QLocale>
#include <QObject>
#include <QStringList>

#include <filesystem>

namespace partwright {

namespace {

QString Count(std::uint64_t n) { return QLocale().toString(n); }

QString Pieces(std::uint64_t n) { return n == 1 ? QObject::tr("1 piece") : QObject::tr("%1 pieces").arg(Count(n)); }

QString Sources(int n) { return n == 1 ? QObject::tr("1 source") : QObject::tr("%1 sources").arg(n); }

// "3 older pieces were left beside the new ones: a-0004.txt, a-0005.txt, a-0006.txt."
QString OlderPiecesLeft(std::uint64_t left, const RunPlaces& places) {
    QStringList names;
    for (const std::filesystem::path& older : places.olderPiecesLeft)
        names << QString::fromStdU16String(older.filename().u16string());
    if (left > static_cast<std::uint64_t>(names.size()))
        names << QObject::tr("and %1 more").arg(Count(left - static_cast<std::uint64_t>(names.size())));
    const QString list = names.join(QStringLiteral(", "));
    if (left == 1)
        return QObject::tr("1 older piece, from a run that gave more pieces, was left beside the new ones: %1.")
            .arg(list);
    return QObject::tr("%1 older pieces, from a run that gave more pieces, were left beside the new ones: %2.")
        .arg(Count(left), list);
}

}  // namespace

EndReport ComposeEndReport(const RunReport& report, const RunPlaces& places, int maxListed) {
    EndReport end = FinalReport(report, maxListed);
    const QString done = QString::fromUtf8(messages::kDone);
    if (report.stopped) {
        // "Done." would claim a finished run.
        const QString stopped = QObject::tr("Stopped before the end, as asked: only whole pieces were kept.");
        if (end.text.startsWith(done))
            end.text.replace(0, done.size(), stopped);
        else
            end.text.prepend(stopped + QLatin1Char('\n'));
    }

    QStringList summary;
    const QString from = report.stopped && places.sourcesReached < places.sourceCount
                             ? QObject::tr("from %1 of %2 sources").arg(places.sourcesReached).arg(places.sourceCount)
                             : QObject::tr("from %1").arg(Sources(places.sourceCount));
    if (report.piecesWritten == 0) {
        summary << QObject::tr("No piece was written %1.").arg(from);
    } else if (places.severalFolders) {
        summary << QObject::tr("%1 written %2, beside their sources.").arg(Pieces(report.piecesWritten), from);
    } else {
        end.folder = NativePath(places.firstFolder);
        summary << QObject::tr("%1 written %2, into %3").arg(Pieces(report.piecesWritten), from, end.folder);
    }
    if (report.piecesReplaced > 0)
        summary << (report.piecesReplaced == 1
                        ? QObject::tr("1 existing file was replaced.")
                        : QObject::tr("%1 existing files were replaced.").arg(Count(report.piecesReplaced)));
    if (const std::uint64_t renamed = report.piecesRenamed; renamed > 0)
        summary << (renamed == 1
                        ? QObject::tr("1 name was given a number to avoid a collision.")
                        : QObject::tr("%1 names were given a number to avoid a collision.").arg(Count(renamed)));

    if (const std::uint64_t left = report.olderPiecesLeft; left > 0) summary << OlderPiecesLeft(left, places);

    end.text += QStringLiteral("\n\n") + summary.join(QLatin1Char('\n'));
    return end;
}

}  // namespace partwright
