#include "ui/main_window.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QStringList>

#include <csignal>

int main(int argc, char* argv[]) {
#ifdef SIGXFSZ
    // Past a file-size limit a write fails with "File too large" and the run
    // reports it, instead of the signal ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
#endif
    QApplication app(argc, argv);
#ifdef Q_OS_WIN
    // The dialogs and boxes use the system's font, which Wine stands in with
    // a serif one: sans-serif families come first, the system's own last.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Segoe UI"), QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans"), font.family()});
    font.setStyleHint(QFont::SansSerif);
    QApplication::setFont(font);
#endif
    QApplication::setApplicationName(QStringLiteral("Partwright"));
    QApplication::setApplicationVersion(QStringLiteral(PARTWRIGHT_VERSION));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icon/partwright-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QApplication::translate("main", "Opens a window that splits text files into many smaller text files."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("FILE"), QApplication::translate("main", "Files to put in the list"),
                                 QStringLiteral("[FILE...]"));
    // What follows the first file is a file too, whatever its name.
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    parser.process(app);

    partwright::MainWindow window;
    // Files dropped on the program's icon, or opened with it from a file manager,
    // arrive as arguments; the list holds full paths.
    QStringList sources;
    for (const QString& argument : parser.positionalArguments())
        sources << QDir::toNativeSeparators(QFileInfo(argument).absoluteFilePath());
    window.AddSources(sources);
    window.show();
    return QApplication::exec();
}
