#pragma once

#include <QSettings>
#include <QString>

#include <functional>

namespace partwright {

// The option values kept between starts, in the per-user store of the
// platform (the registry under HKEY_CURRENT_USER\Software\Quillmark\Partwright
// on Windows, $XDG_CONFIG_HOME/Quillmark/Partwright.conf elsewhere). Every
// value is a text; a missing key reads as the caller's default.
namespace settings_keys {
inline const QString kSplitOption = QStringLiteral("Split Option");
inline const QString kSaveOption = QStringLiteral("Save Option");
inline const QString kNumberOfLines = QStringLiteral("Number Of Lines");
inline const QString kSeparator = QStringLiteral("Every X Character");  // the separator text
inline const QString kFirstCharacterSplit = QStringLiteral("First Character Split");
inline const QString kStartWithTheseCharacter = QStringLiteral("Start With These Character");
inline const QString kFirstNumber = QStringLiteral("End With These Numbers");  // the first counting number
// The Options dialog's keys (ui/options_dialog.h gives their values).
inline const QString kLineEnd = QStringLiteral("Line End");
inline const QString kCodePage = QStringLiteral("Code Page");
inline const QString kWholeSources = QStringLiteral("Whole Sources");
inline const QString kOutputFolder = QStringLiteral("Output Folder");
inline const QString kMaxPieceSize = QStringLiteral("Max Piece Size");
inline const QString kHeaderLines = QStringLiteral("Header Lines");
inline const QString kAskBeforeReplacing = QStringLiteral("Ask Before Replacing");
inline const QString kOutputEncoding = QStringLiteral("Output Encoding");
inline const QString kFinalLineEnd = QStringLiteral("Final Line End");
inline const QString kFitForExcel = QStringLiteral("Fit For Excel");
inline const QString kMaxPieces = QStringLiteral("Max Pieces");
inline const QString kCompressPieces = QStringLiteral("Compress Pieces");
// The window's own ways to read and cut CSV and to name by a template.
inline const QString kCsvRecords = QStringLiteral("CSV Records");
inline const QString kCsvDelimiter = QStringLiteral("CSV Delimiter");
inline const QString kByColumn = QStringLiteral("By Column");
inline const QString kParts = QStringLiteral("Parts");
inline const QString kMatchPattern = QStringLiteral("Match Pattern");
inline const QString kNameTemplate = QStringLiteral("Name Template");
}  // namespace settings_keys

class SettingsStore {
public:
    SettingsStore();

    [[nodiscard]] QString Read(const QString& key, const QString& defaultValue) const;
    // Written through at once: the program may end at any moment and saves nothing at exit.
    void Write(const QString& key, const QString& value);

private:
    friend class SettingsStoreTestAccess;  // ui/tests/main_window_access.h
    using WriteObserver = std::function<void(const QString& key, const QString& value)>;

    mutable QSettings settings_;
    WriteObserver observer_;  // told of every write, in order; set only by tests
};

}  // namespace partwright
