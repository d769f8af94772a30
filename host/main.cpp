#include "consolefilter.h"
#include "hosttranslations.h"
#include "mainwindow.h"
#include "pluginregistry.h"
#include "screenshottour.h"

#include <SorvBase/sorvprojectmanager.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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

// The options that QApplication takes for itself (with one or two leading
// dashes), and whether each is followed by a value.
bool isGuiOption(const QString &argument, bool *takesValue)
{
    static const char *const withValue[] = {
        "platform",   "platformpluginpath", "platformtheme", "plugin",  "qwindowgeometry", "geometry", "qwindowicon",
        "icon",       "qwindowtitle",       "title",         "session", "display",         "name",     "style",
        "stylesheet",
    };
    static const char *const alone[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};
    QString name = argument;
    if (name.startsWith(QLatin1String("--")))
        name.remove(0, 1);
    if (!name.startsWith(QLatin1Char('-')) || name.size() < 2)
        return false;
    name.remove(0, 1);
    // "-style=fusion" carries its value.
    const bool valueAttached = name.contains(QLatin1Char('='));
    name = name.section(QLatin1Char('='), 0, 0);
    for (const char *option : withValue) {
        if (name == QLatin1String(option)) {
            *takesValue = !valueAttached;
            return true;
        }
    }
    for (const char *option : alone) {
        if (name == QLatin1String(option)) {
            *takesValue = false;
            return true;
        }
    }
    return false;
}

struct HostOptions
{
    QCommandLineOption project{QStringLiteral("project"),
                               QCoreApplication::translate("main", "Open the folder <dir> as the project."),
                               QStringLiteral("dir")};
    QCommandLineOption pluginDir{QStringLiteral("plugin-dir"), QString(), QStringLiteral("dir")};
    QCommandLineOption list{QStringLiteral("list-plugins"),
                            QCoreApplication::translate("main", "Print every library found in the plug-in folders, "
                                                                "one a line (status, file, class, interface id, "
                                                                "details), and quit.")};
    QCommandLineOption lang{QStringLiteral("lang"),
                            QCoreApplication::translate("main", "Show the user interface in the language of "
                                                                "<locale> (such as zh_CN or en_US) instead of "
                                                                "the system's."),
                            QStringLiteral("locale")};
    QCommandLineOption screenshots{QStringLiteral("screenshots"),
                                   QCoreApplication::translate("main", "For demos and the help pages: open each "
                                                                       "plug-in's window in turn, write a PNG "
                                                                       "picture of every window to <dir>, print "
                                                                       "their paths, and quit."),
                                   QStringLiteral("dir")};

    void addTo(QCommandLineParser &parser, const QString &defaultFolder)
    {
        parser.setApplicationDescription(
            QCoreApplication::translate("main", "Host of the seismic processing plug-ins: loads the general plug-ins "
                                                "and places their commands in a menu and on a toolbar."));
        parser.addHelpOption();
        parser.addVersionOption();
        pluginDir.setDescription(QCoreApplication::translate("main", "Load plug-ins from <dir>; may be given more "
                                                                     "than once. Without it: %1")
                                     .arg(QDir::toNativeSeparators(defaultFolder)));
        parser.addOptions({project, pluginDir, list, lang, screenshots});
    }
};

// A usage error is found before any application object exists, so that it
// is reported the same way with or without a display: one line, exit 1.
// Gives the --lang value, which the catalogues need before the full parse.
bool argumentsValid(int argc, char *argv[], QString *lang)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        bool takesValue = false;
        if (i > 0 && isGuiOption(argument, &takesValue)) {
            if (takesValue)
                ++i;
            continue;
        }
        arguments << argument;
    }
    QCommandLineParser parser;
    HostOptions options;
    options.addTo(parser, QString());
    if (parser.parse(arguments)) {
        *lang = parser.value(options.lang);
        return true;
    }
    std::fprintf(stderr, "sorv: %s Try 'sorv --help'.\n", qPrintable(parser.errorText()));
    return false;
}

// Whether an X server answers on the local socket of `display` (":N",
// ":N.S" or "unix:N"); a display on another host is taken on trust.
bool localXServerAnswers(const QByteArray &display)
{
    const int colon = display.lastIndexOf(':');
    const QByteArray host = display.left(colon);
    if (colon < 0 || (!host.isEmpty() && host != "unix"))
        return true;
    bool ok = false;
    const int number = display.mid(colon + 1).split('.').value(0).toInt(&ok);
    if (!ok)
        return true;
    const QByteArray path = "/tmp/.X11-unix/X" + QByteArray::number(number);
    // The server listens on the abstract name and on the file; either will do.
    for (bool abstract : {true, false}) {
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path + (abstract ? 1 : 0), path.constData(), size_t(path.size()));
        const socklen_t size = socklen_t(offsetof(sockaddr_un, sun_path) + (abstract ? 1 : 0) + path.size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool answers = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), size) == 0;
        if (fd >= 0)
            ::close(fd);
        if (answers)
            return true;
    }
    return false;
}

// Whether the windowing system can be reached, checked before QApplication,
// which aborts the process when it cannot. A platform chosen by the user
// (QT_QPA_PLATFORM, -platform) is theirs to answer for.
bool displayReachable(int argc, char *argv[])
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0 ||
            std::strncmp(argv[i], "-platform=", 10) == 0 || std::strncmp(argv[i], "--platform=", 11) == 0)
            return true;
    }
    const QByteArray display = qgetenv("DISPLAY");
    return !display.isEmpty() && localXServerAnswers(display);
}

} // namespace

int main(int argc, char *argv[])
{
    ConsoleFilter::install();
    // Where QSettings keeps the user's own settings, such as window places.
    QCoreApplication::setOrganizationName(QStringLiteral("sorv"));
    QCoreApplication::setApplicationName(QStringLiteral("sorv"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SORV_VERSION));
    QString lang;
    if (!argumentsValid(argc, argv, &lang))
        return 1;
    if (!onlyPrints(argc, argv) && !displayReachable(argc, argv)) {
        std::fprintf(stderr,
                     "sorv: needs a display, and none can be reached (DISPLAY=%s). To run without one, "
                     "use QT_QPA_PLATFORM=offscreen sorv ... or xvfb-run -a sorv ...\n",
                     qgetenv("DISPLAY").constData());
        return 2;
    }

    std::unique_ptr<QCoreApplication> app(onlyPrints(argc, argv) ? new QCoreApplication(argc, argv)
                                                                 : new QApplication(argc, argv));
    // The language is chosen before any text is made: the help text, the
    // window's and the plug-ins' action texts.
    const QLocale locale = lang.isEmpty() ? QLocale::system() : QLocale(lang);
    QLocale::setDefault(locale);
    HostTranslations translations(locale);
    translations.install(app.get());

    const QString defaultFolder = PluginRegistry::defaultFolder(QCoreApplication::applicationDirPath());
    QCommandLineParser parser;
    HostOptions options;
    options.addTo(parser, defaultFolder);
    parser.process(*app);

    QTextStream err(stderr);
    QStringList folders = parser.values(options.pluginDir);
    if (folders.isEmpty())
        folders << defaultFolder;
    for (const QString &folder : qAsConst(folders)) {
        if (!QFileInfo(folder).isDir())
            err << QCoreApplication::translate("main", "sorv: no plug-in folder %1").arg(folder) << '\n';
    }

    PluginRegistry registry;
    registry.scan(folders);
    if (!translations.install(app.get()).isEmpty())
        registry.refreshNames();

    if (parser.isSet(options.list)) {
        QTextStream out(stdout);
        const QStringList lines = registry.report();
        for (const QString &line : lines)
            out << line << '\n';
        return 0;
    }

    if (parser.isSet(options.project)) {
        const QString dir = parser.value(options.project);
        if (!SorvProjectManager::instance().openProject(dir)) {
            err << QCoreApplication::translate("main", "sorv: cannot open %1 as a project: it is not a folder").arg(dir)
                << '\n';
            return 1;
        }
    }

    // The pictures show every window as it first opens, and what the tour
    // does is not the user's: it neither reads nor keeps their settings.
    std::unique_ptr<QTemporaryDir> tourSettings;
    if (parser.isSet(options.screenshots)) {
        tourSettings.reset(new QTemporaryDir);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, tourSettings->path());
    }

    MainWindow window(registry);
    window.show();
    std::unique_ptr<ScreenshotTour> tour;
    if (parser.isSet(options.screenshots)) {
        tour.reset(new ScreenshotTour(&window, parser.value(options.screenshots)));
        QObject::connect(tour.get(), &ScreenshotTour::shot, [](const QString &path) {
            QTextStream(stdout) << QDir::toNativeSeparators(path) << Qt::endl;
        });
        QObject::connect(tour.get(), &ScreenshotTour::finished, [&tour, &err](bool ok) {
            for (const QString &error : tour->errors())
                err << QCoreApplication::translate("main", "sorv: screenshots: %1").arg(error) << Qt::endl;
            QCoreApplication::exit(ok ? 0 : 1);
        });
        tour->start();
    }
    return app->exec();
}
