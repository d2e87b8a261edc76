#include "filelist/file_list.h"
#include "ui/main_window.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include <csignal>

int main(int argc, char* argv[]) {
#ifdef SIGXFSZ
    // Past a file-size limit a write fails with "File too large" and the run
    // reports it, instead of the signal ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Partwright"));

    partwright::MainWindow window;
    // Files dropped on the program's icon arrive as arguments; the list holds full paths.
    const QStringList arguments = QApplication::arguments().mid(1);
    for (const QString& argument : arguments)
        window.List().Append(QDir::toNativeSeparators(QFileInfo(argument).absoluteFilePath()));
    window.show();
    return QApplication::exec();
}
