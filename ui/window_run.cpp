#include "ui/window_run.h"

#include "engine/failure.h"
#include "engine/messages.h"
#include "filelist/file_list.h"
#include "ui/message_box.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>
#include <utility>

namespace partwright {

namespace {

Text FieldText(const QLineEdit* field) { return field->text().toStdU16String(); }

// Progress comes with every piece; the display needs far fewer updates.
constexpr qint64 kProgressIntervalMs = 100;

}  // namespace

bool ControlSettings::LinesSelected() const { return c_.linesOption->isChecked(); }
Text ControlSettings::LinesPerPiece() const { return FieldText(c_.linesPerPieceField); }
bool ControlSettings::SeparatorSelected() const { return c_.separatorOption->isChecked(); }
Text ControlSettings::SeparatorText() const { return FieldText(c_.separatorField); }
bool ControlSettings::BlankLinesSelected() const { return c_.blankLinesOption->isChecked(); }
bool ControlSettings::FirstCharsSelected() const { return c_.firstCharactersOption->isChecked(); }
Text ControlSettings::NameLength() const { return FieldText(c_.nameLengthField); }
bool ControlSettings::NumberedSelected() const { return c_.numberedOption->isChecked(); }
bool ControlSettings::PrefixSelected() const { return c_.prefixOption->isChecked(); }
Text ControlSettings::Prefix() const { return FieldText(c_.prefixField); }
Text ControlSettings::FirstNumber() const { return FieldText(c_.firstNumberField); }

int ListSources::Count() const { return list_.Count(); }

std::filesystem::path ListSources::At(int position) const {
    return std::filesystem::path(list_.TextAt(position).toStdU16String());
}

WindowRunHost::WindowRunHost(QWidget* window, std::function<bool()> keepGoing, ProgressView showProgress)
    : window_(window), keepGoing_(std::move(keepGoing)), showProgress_(std::move(showProgress)) {}

bool WindowRunHost::Yield() {
    QCoreApplication::processEvents();
    return keepGoing_();
}

void WindowRunHost::ShowNotice(Notice notice, const std::filesystem::path& /*source*/) {
    if (!keepGoing_()) return;  // the window has closed; the run stops at its next yield
    switch (notice) {
        case Notice::LinesNotNumber:
            ShowMessage(window_, QString::fromUtf8(messages::kLinesNotNumber));
            break;
    }
}

void WindowRunHost::ReportProgress(const Progress& progress) {
    if (sinceProgress_.isValid() && sinceProgress_.elapsed() < kProgressIntervalMs) return;
    sinceProgress_.start();
    if (showProgress_) showProgress_(progress);
}

QString FinalMessage(const RunReport& report, int maxListed) {
    if (report.failures.empty()) return QString::fromUtf8(messages::kDone);
    const int count = static_cast<int>(report.failures.size());
    QString text = count == 1 ? QObject::tr("Done, but 1 thing failed:")
                              : QObject::tr("Done, but %1 things failed:").arg(count);
    const int listed = std::min(count, std::max(maxListed, 0));
    for (int i = 0; i < listed; ++i)
        text += QLatin1Char('\n') + QString::fromStdString(Describe(report.failures[static_cast<size_t>(i)]));
    if (listed < count) text += QLatin1Char('\n') + QObject::tr("and %1 more").arg(count - listed);
    return text;
}

QString ProgressText(const Progress& progress) {
    return QObject::tr("file %1 of %2, %3 pieces written")
        .arg(progress.fileIndex)
        .arg(progress.fileCount)
        .arg(progress.piecesWritten);
}

}  // namespace partwright
