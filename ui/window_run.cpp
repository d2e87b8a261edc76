#include "ui/window_run.h"

#include "filelist/file_list.h"
#include "partwright/failure.h"
#include "partwright/messages.h"
#include "partwright/path_text.h"
#include "ui/message_box.h"

#include <QCoreApplication>
#include <QDir>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>
#include <utility>

namespace partwright {

namespace {

Text FieldText(const QLineEdit* field) { return field->text().toStdU16String(); }

}  // namespace

SplitMode ControlSettings::Split() const {
    if (c_.linesOption->isChecked()) return SplitMode::Lines;
    if (c_.separatorOption->isChecked()) return SplitMode::Separator;
    // The size, the equal parts, the lines that match: the run cuts by a rule
    // its options hold (RunOptions::maxPieceBytes, parts, matchPattern).
    return c_.blankLinesOption->isChecked() ? SplitMode::BlankLines : SplitMode::MaxBytes;
}
TypedField<std::int64_t> ControlSettings::LinesPerPiece() const {
    return ReadLinesPerPiece(FieldText(c_.linesPerPieceField));
}
Text ControlSettings::SeparatorText() const { return FieldText(c_.separatorField); }
NamingMode ControlSettings::Naming() const {
    if (c_.firstCharactersOption->isChecked()) return NamingMode::FirstChars;
    if (c_.templateOption->isChecked()) return NamingMode::Template;
    return c_.numberedOption->isChecked() ? NamingMode::Numbered : NamingMode::Prefix;
}
TypedField<std::int32_t> ControlSettings::NameLength() const { return ReadNameLength(FieldText(c_.nameLengthField)); }
Text ControlSettings::Prefix() const { return FieldText(c_.prefixField); }
TypedField<std::int16_t> ControlSettings::FirstNumber() const {
    return ReadFirstNumber(FieldText(c_.firstNumberField));
}

Text ControlSettings::NameTemplate() const { return FieldText(c_.templateField); }

int ListSources::Count() const { return list_.Count(); }

std::filesystem::path ListSources::At(int position) const {
    return std::filesystem::path(list_.PathAt(position).toStdU16String());
}

WindowRunHost::WindowRunHost(QWidget* window, std::function<bool()> keepGoing, ProgressView showProgress)
    : window_(window), keepGoing_(std::move(keepGoing)), showProgress_(std::move(showProgress)) {}

bool WindowRunHost::Yield() {
    if (!sinceEvents_.isValid() || sinceEvents_.elapsed() >= kEventIntervalMs) {
        QCoreApplication::processEvents();
        sinceEvents_.start();
    }
    return keepGoing_();
}

void WindowRunHost::ShowNotice(Notice notice, const std::filesystem::path& /*source*/) {
    if (!keepGoing_()) return;  // the window has closed; the run stops at its next yield
    switch (notice) {
    case Notice::LinesNotNumber:
        if (std::exchange(linesNoticeShown_, true)) return;
        ShowMessage(window_, QString::fromUtf8(messages::kLinesNotNumber));
        break;
    }
    // The box may have taken long; the window was alive all the while.
    sinceEvents_.start();
}

void WindowRunHost::ReportProgress(const Progress& progress) {
    places_.sourcesReached = std::max(places_.sourcesReached, progress.fileIndex);
    if (sinceProgress_.isValid() && sinceProgress_.elapsed() < kProgressIntervalMs) return;
    sinceProgress_.start();
    if (showProgress_) showProgress_(progress);
}

void WindowRunHost::PieceWritten(const std::filesystem::path& target) {
    if (places_.severalFolders) return;
    // Pieces come folder by folder: a path is built for the folder only when
    // the text before the piece's name changes.
    const std::size_t folderText = FolderTextLength(target);
    if (!places_.firstFolder.empty() && places_.firstFolderText.size() == folderText &&
        target.native().compare(0, folderText, places_.firstFolderText) == 0) {
        return;
    }
    std::filesystem::path folder = target.parent_path();
    if (places_.firstFolder.empty())
        places_.firstFolder = std::move(folder);
    else if (folder != places_.firstFolder)
        places_.severalFolders = true;
    places_.firstFolderText.assign(target.native(), 0, folderText);
}

void WindowRunHost::OlderPieceLeft(const std::filesystem::path& /*source*/, const std::filesystem::path& older) {
    if (places_.olderPiecesLeft.size() < RunPlaces::kOlderPiecesNamed) places_.olderPiecesLeft.push_back(older);
}

EndReport FinalReport(const RunReport& report, int maxListed) {
    EndReport end;
    const int count = static_cast<int>(report.failures.size());
    if (count == 0) {
        end.text = QString::fromUtf8(messages::kDone);
    } else {
        end.text = count == 1 ? QObject::tr("Done, but 1 thing failed:")
                              : QObject::tr("Done, but %1 things failed:").arg(count);
        QStringList all;
        for (const Failure& failure : report.failures) all << QString::fromStdString(Describe(failure));
        const int listed = std::min(count, std::max(maxListed, 0));
        for (int i = 0; i < listed; ++i) end.text += QLatin1Char('\n') + all[i];
        if (listed < count) end.text += QLatin1Char('\n') + QObject::tr("and %1 more").arg(count - listed);
        end.details = all.join(QLatin1Char('\n'));
    }
    if (report.blocksNotCut > 0) {
        end.text += QStringLiteral("\n\n") +
                    (report.blocksNotCut == 1
                         ? QObject::tr("1 block gave no pieces: the number of lines was not a number.")
                         : QObject::tr("%1 blocks gave no pieces: the number of lines was not a number.")
                               .arg(report.blocksNotCut));
    }
    return end;
}

QString NativePath(const std::filesystem::path& path) {
    return QDir::toNativeSeparators(QString::fromStdU16String(path.u16string()));
}

QString ProgressText(const Progress& progress) {
    return QObject::tr("file %1 of %2, %3 pieces written")
        .arg(progress.fileIndex)
        .arg(progress.fileCount)
        .arg(progress.piecesWritten);
}

}  // namespace partwright
