#include "ui/help_menu.h"

#include "ui/message_box.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QUrl>

namespace partwright {

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("partwright::HelpMenu", text); }

// Where the README ships: beside the program on Windows (README.txt), in the
// documentation folder of an installed Linux tree, at the top of a build's
// source tree.
QString ReadmePath() {
    const QDir program(QCoreApplication::applicationDirPath());
    for (const QString& candidate : {QStringLiteral("README.txt"), QStringLiteral("README.md"),
                                     QStringLiteral("../share/doc/partwright/README.md"),
                                     QStringLiteral("../../README.md"), QStringLiteral("../../../README.md")}) {
        const QString path = program.absoluteFilePath(candidate);
        if (QFileInfo(path).isFile()) return QDir::cleanPath(path);
    }
    return {};
}

void ShowReadme(QWidget* window) {
    const QString path = ReadmePath();
    if (path.isEmpty()) {
        ShowMessage(window, Tr("The README was not found beside the program."));
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        ShowMessage(window, Tr("The README could not be opened: %1").arg(QDir::toNativeSeparators(path)));
}

void ShowAbout(QWidget* window) {
    const QString text = Tr("Partwright %1\n\nSplits text files into many smaller text files.\n\n"
                            "Released under the MIT License (LICENSE.txt beside the program).\n\n"
                            "Built with Qt %2, used under the GNU Lesser General Public License, version 3; "
                            "the licence texts ship in the program's folder.")
                             .arg(QCoreApplication::applicationVersion(), QString::fromLatin1(qVersion()));
    ShowMessage(window, text);
}

}  // namespace

void AddHelpMenu(QMenuBar* menuBar, QWidget* window) {
    QMenu* help = menuBar->addMenu(Tr("&Help"));
    QAction* readme = help->addAction(Tr("&Read Me"));
    readme->setObjectName(QStringLiteral("readmeAction"));
    QObject::connect(readme, &QAction::triggered, window, [window] { ShowReadme(window); });
    help->addSeparator();
    QAction* aboutQt = help->addAction(Tr("About &Qt"));
    aboutQt->setObjectName(QStringLiteral("aboutQtAction"));
    QObject::connect(aboutQt, &QAction::triggered, window, [window] { QMessageBox::aboutQt(window); });
    QAction* about = help->addAction(Tr("&About Partwright"));
    about->setObjectName(QStringLiteral("aboutAction"));
    QObject::connect(about, &QAction::triggered, window, [window] { ShowAbout(window); });
}

}  // namespace partwright
