#include "filelist/file_list.h"
#include "ui/form1.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Partwright"));

    partwright::Form1 form;
    // Files dropped on the program's icon arrive as arguments; the list holds full paths.
    const QStringList arguments = QApplication::arguments().mid(1);
    for (const QString& argument : arguments)
        form.List().Append(QDir::toNativeSeparators(QFileInfo(argument).absoluteFilePath()));
    form.show();
    return QApplication::exec();
}
