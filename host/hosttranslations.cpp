#include "hosttranslations.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QTranslator>

HostTranslations::HostTranslations(const QLocale &locale) : m_locale(locale) { }

QString HostTranslations::resourceFolder()
{
    return QStringLiteral(":/resource/translations");
}

QStringList HostTranslations::install(QCoreApplication *app)
{
    // Catalogue name and the folder it is looked up in; the locale part of
    // the file name is chosen by QTranslator from the language's fallbacks
    // (zh_Hans_CN, zh_CN, zh).
    QVector<QPair<QString, QString>> catalogues;
    catalogues.append({QStringLiteral("qtbase"), QLibraryInfo::location(QLibraryInfo::TranslationsPath)});
    static const QRegularExpression fileName(QStringLiteral("^(.+)_[a-z]{2,3}(_[A-Za-z]+)*\\.qm$"));
    const QStringList files = QDir(resourceFolder()).entryList({QStringLiteral("*.qm")}, QDir::Files, QDir::Name);
    for (const QString &file : files) {
        const QRegularExpressionMatch match = fileName.match(file);
        if (match.hasMatch())
            catalogues.append({match.captured(1), resourceFolder()});
    }

    QStringList installed;
    for (const auto &catalogue : qAsConst(catalogues)) {
        if (m_tried.contains(catalogue.first))
            continue;
        m_tried.insert(catalogue.first);
        auto *translator = new QTranslator(app);
        if (translator->load(m_locale, catalogue.first, QStringLiteral("_"), catalogue.second) &&
            app->installTranslator(translator)) {
            installed << catalogue.first;
        } else {
            delete translator;
        }
    }
    return installed;
}
