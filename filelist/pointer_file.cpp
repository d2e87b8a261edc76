#include "filelist/pointer_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>

namespace partwright {

namespace {

quint16 ReadLe16(const QByteArray& bytes, int offset) {
    return static_cast<quint16>(static_cast<quint8>(bytes[offset]) | (static_cast<quint8>(bytes[offset + 1]) << 8));
}

}  // namespace

std::optional<QCursor> LoadPointerFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray bytes = file.readAll();
    // ICONDIR (6 bytes) then the first ICONDIRENTRY (16 bytes).
    constexpr int kHeaderAndEntry = 6 + 16;
    if (bytes.size() < kHeaderAndEntry || ReadLe16(bytes, 0) != 0) return std::nullopt;
    const quint16 type = ReadLe16(bytes, 2);
    if ((type != 1 && type != 2) || ReadLe16(bytes, 4) < 1) return std::nullopt;

    // Qt reads both forms through its "ico" reader once the type says icon.
    QByteArray asIcon = bytes;
    asIcon[2] = 1;
    QImage image;
    if (!image.loadFromData(asIcon, "ICO") || image.isNull()) return std::nullopt;

    int hotX = 0;
    int hotY = 0;
    if (type == 2) {  // a cursor keeps its hotspot where an icon keeps planes and bit count
        hotX = ReadLe16(bytes, 10);
        hotY = ReadLe16(bytes, 12);
    }
    if (hotX >= image.width() || hotY >= image.height()) {
        hotX = 0;
        hotY = 0;
    }
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}

QString ProgramDataFile(const QString& fileName) {
    return DataFileBeside(QCoreApplication::applicationDirPath(), fileName);
}

QString DataFileBeside(const QString& programFolder, const QString& fileName) {
    const QDir folder(programFolder);
    const QString beside = folder.filePath(fileName);
    if (QFileInfo::exists(beside)) return beside;
    const QString shared = QDir::cleanPath(folder.filePath(QStringLiteral("../share/partwright/") + fileName));
    return QFileInfo::exists(shared) ? shared : beside;
}

}  // namespace partwright
