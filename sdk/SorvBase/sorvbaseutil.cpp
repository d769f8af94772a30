#include <SorvBase/sorvbaseutil.h>

#include <SorvBase/sorvprojectmanager.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QScreen>
#include <QSet>
#include <QSettings>
#include <QWidget>

namespace {

// Values stored while no project is open; they last for the run.
QHash<QString, QVariant> &runValues()
{
    static QHash<QString, QVariant> values;
    return values;
}

QString valuesPath()
{
    return QDir(SorvProjectManager::instance().define().projectDir).filePath(SorvProjectManager::valuesFileName());
}

// Values of projects whose values file cannot be used, by that file's path;
// they last for the run.
QHash<QString, QVariant> &valuesInMemory(const QString &path)
{
    static QHash<QString, QHash<QString, QVariant>> values;
    return values[path];
}

// Only a regular file, or none yet, is read or written. A pipe in its place
// would block whoever asks for a value until some writer came, and a folder
// or device holds no settings; the values then stay in memory, and the log
// says why once per file.
bool valuesFileUsable(const QString &path)
{
    const QFileInfo file(path);
    if (!file.exists() || file.isFile())
        return true;
    static QSet<QString> reported;
    if (!reported.contains(path)) {
        reported.insert(path);
        qWarning("%s is not a regular file; project values are kept in memory for this run only",
                 qPrintable(QDir::toNativeSeparators(path)));
    }
    return false;
}

// INI files keep only text, so each value's type is stored beside it and
// restored on reading: an int comes back as an int, not as "10".
const QString valuesGroup = QStringLiteral("Values");
const QString typesGroup = QStringLiteral("Types");

QMargins frameOf(const QWidget *window)
{
    const QRect frame = window->frameGeometry();
    const QRect inner = window->geometry();
    return QMargins(inner.left() - frame.left(), inner.top() - frame.top(), frame.right() - inner.right(),
                    frame.bottom() - inner.bottom());
}

// The frame the window has or will get: a window not yet shown, or shown
// but not yet framed, knows none, and the window manager will give it the
// one its other windows wear.
QMargins expectedFrame(const QWidget *window, const QWidget *anchor)
{
    const QMargins own = frameOf(window);
    if (!own.isNull() || window->windowFlags().testFlag(Qt::FramelessWindowHint))
        return own;
    if (anchor && !frameOf(anchor).isNull())
        return frameOf(anchor);
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (const QWidget *other : windows) {
        if (other != window && other->isVisible() && !frameOf(other).isNull())
            return frameOf(other);
    }
    return QMargins();
}

// The coordinate that puts a span of `size` starting at `start` inside
// [low, low + room), its start winning when it is longer than the room.
int inside(int start, int size, int low, int room)
{
    return qMax(low, qMin(start, low + room - size));
}

} // namespace

QVariant SorvBaseUtil::projectValue(const QString &key, const QVariant &defaultValue)
{
    if (!SorvProjectManager::instance().isProjectOpen())
        return runValues().value(key, defaultValue);

    const QString path = valuesPath();
    if (!valuesFileUsable(path))
        return valuesInMemory(path).value(key, defaultValue);
    // A value that could not be written is newer than the file's.
    const QHash<QString, QVariant> &unwritten = valuesInMemory(path);
    if (unwritten.contains(key))
        return unwritten.value(key);
    QSettings settings(path, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    const QString valueKey = valuesGroup + QLatin1Char('/') + key;
    if (!settings.contains(valueKey))
        return defaultValue;
    QVariant value = settings.value(valueKey);
    const QByteArray typeName = settings.value(typesGroup + QLatin1Char('/') + key).toString().toLatin1();
    const int type = QMetaType::type(typeName.constData());
    if (type != QMetaType::UnknownType && value.userType() != type) {
        QVariant converted = value;
        if (converted.convert(type))
            value = converted;
    }
    return value;
}

bool SorvBaseUtil::setProjectValue(const QString &key, const QVariant &value)
{
    if (!SorvProjectManager::instance().isProjectOpen()) {
        runValues().insert(key, value);
        return true;
    }

    const QString path = valuesPath();
    if (!valuesFileUsable(path)) {
        valuesInMemory(path).insert(key, value);
        return false;
    }
    QSettings settings(path, QSettings::IniFormat);
    settings.setIniCodec("UTF-8");
    settings.setValue(valuesGroup + QLatin1Char('/') + key, value);
    settings.setValue(typesGroup + QLatin1Char('/') + key, QString::fromLatin1(value.typeName()));
    settings.sync();
    if (settings.status() == QSettings::NoError) {
        valuesInMemory(path).remove(key);
        return true;
    }
    // A folder that cannot be written: the value lasts for the run.
    valuesInMemory(path).insert(key, value);
    return false;
}

QStringList SorvBaseUtil::helpDirs()
{
    QStringList dirs;
    const QString fromEnv = qEnvironmentVariable("SORV_HELP_DIR");
    if (!fromEnv.isEmpty())
        dirs << fromEnv;
    if (QCoreApplication::instance())
        dirs << QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/sorv/help"));
    return dirs;
}

QString SorvBaseUtil::helpPagePath(const QString &page)
{
    if (page.isEmpty())
        return QString();
    for (const QString &dir : helpDirs()) {
        const QFileInfo info(QDir(dir).filePath(page));
        if (info.isFile())
            return info.absoluteFilePath();
    }
    return QString();
}

void SorvBaseUtil::placeOnScreen(QWidget *window, QWidget *anchor)
{
    if (!window || !window->isWindow() || window->isMaximized() || window->isFullScreen())
        return;
    QWidget *anchorWindow = anchor ? anchor->window() : nullptr;
    if (anchorWindow == window)
        anchorWindow = nullptr;

    // Frames as they are, or as they will be once the window manager has
    // framed the window: the window itself is positioned by its inner area,
    // which needs no guess about its frame.
    const QMargins frame = expectedFrame(window, anchorWindow);
    const QRect current = window->geometry().marginsAdded(frame);
    const QRect anchorFrame = anchorWindow ? anchorWindow->frameGeometry() : QRect();
    QScreen *screen = QGuiApplication::screenAt(anchorWindow ? anchorFrame.center() : current.center());
    const bool onScreen = screen != nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();

    const QSize room = available.marginsRemoved(frame).size();
    const QSize size = window->size().boundedTo(room).expandedTo(window->minimumSize());
    QRect placed(QPoint(0, 0), size.grownBy(frame));
    if (anchorWindow)
        placed.moveCenter(onScreen ? anchorFrame.center() : available.center());
    else
        placed.moveTopLeft(current.topLeft());
    placed.moveTopLeft(QPoint(inside(placed.left(), placed.width(), available.left(), available.width()),
                              inside(placed.top(), placed.height(), available.top(), available.height())));
    const QRect inner = placed.marginsRemoved(frame);
    if (inner != window->geometry())
        window->setGeometry(inner);
}
