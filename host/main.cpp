#include "mainwindow.h"
#include "pluginregistry.h"

#include <sorvprojectmanager.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <cstring>
#include <memory>

namespace {

// Options that only print: they need no display, so they get a plain core
// application and work on a machine without one.
bool onlyPrints(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"--list-plugins", "--help", "-h", "--help-all", "--version", "-v"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    std::unique_ptr<QCoreApplication> app(onlyPrints(argc, argv) ? new QCoreApplication(argc, argv)
                                                                 : new QApplication(argc, argv));
    QCoreApplication::setApplicationName(QStringLiteral("sorv"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SORV_VERSION));

    const QString defaultFolder = PluginRegistry::defaultFolder(QCoreApplication::applicationDirPath());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("main", "Host of the seismic processing plug-ins: loads the general plug-ins "
                                            "and places their commands in a menu and on a toolbar."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption projectOption(
        QStringLiteral("project"), QCoreApplication::translate("main", "Open the folder <dir> as the project."),
        QStringLiteral("dir"));
    const QCommandLineOption pluginDirOption(
        QStringLiteral("plugin-dir"),
        QCoreApplication::translate("main", "Load plug-ins from <dir>; may be given more than once. "
                                            "Without it: %1")
            .arg(QDir::toNativeSeparators(defaultFolder)),
        QStringLiteral("dir"));
    const QCommandLineOption listOption(
        QStringLiteral("list-plugins"),
        QCoreApplication::translate("main", "Print every library found in the plug-in folders, one a line "
                                            "(status, file, class, interface id, details), and quit."));
    parser.addOption(projectOption);
    parser.addOption(pluginDirOption);
    parser.addOption(listOption);
    parser.process(*app);

    QTextStream err(stderr);
    QStringList folders = parser.values(pluginDirOption);
    if (folders.isEmpty())
        folders << defaultFolder;
    for (const QString &folder : qAsConst(folders)) {
        if (!QFileInfo(folder).isDir())
            err << QCoreApplication::translate("main", "sorv: no plug-in folder %1").arg(folder) << '\n';
    }

    PluginRegistry registry;
    registry.scan(folders);

    if (parser.isSet(listOption)) {
        QTextStream out(stdout);
        const QStringList lines = registry.report();
        for (const QString &line : lines)
            out << line << '\n';
        return 0;
    }

    if (parser.isSet(projectOption)) {
        const QString dir = parser.value(projectOption);
        if (!SorvProjectManager::instance().openProject(dir)) {
            err << QCoreApplication::translate("main", "sorv: cannot open %1 as a project: it is not a folder")
                       .arg(dir)
                << '\n';
            return 1;
        }
    }

    MainWindow window(registry);
    window.show();
    return app->exec();
}
