#pragma once

#include <QString>
#include <QTreeWidget>

namespace partwright {

// ListView1: the ordered list of source files the next split run processes.
// Every entry holds one text, the full path of a source as it was added.
// Positions run from 1 to Count(); duplicates are allowed; nothing sorts it.
class FileList : public QTreeWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);

    // Adds a new last entry holding `path`; nothing is checked.
    void Append(const QString& path);
    [[nodiscard]] int Count() const;
    [[nodiscard]] QString TextAt(int position) const;  // 1-based

    // While a split run works, appends are accepted but removals and reorders
    // are refused, so the run never reads a position that moved or vanished.
    void SetRunActive(bool active);
    [[nodiscard]] bool IsRunActive() const { return runActive_; }

private:
    bool runActive_ = false;
};

}  // namespace partwright
