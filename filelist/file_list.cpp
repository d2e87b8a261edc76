#include "filelist/file_list.h"

#include <QHeaderView>

namespace partwright {

FileList::FileList(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("ListView1"));
    setColumnCount(1);
    setHeaderLabels({tr("Text File(s)")});
    setRootIsDecorated(false);
    setSortingEnabled(false);
}

void FileList::Append(const QString& path) {
    auto* item = new QTreeWidgetItem(this);
    item->setText(0, path);
}

int FileList::Count() const { return topLevelItemCount(); }

QString FileList::TextAt(int position) const {
    const QTreeWidgetItem* item = topLevelItem(position - 1);
    return item ? item->text(0) : QString();
}

void FileList::SetRunActive(bool active) { runActive_ = active; }

}  // namespace partwright
