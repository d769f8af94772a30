#ifndef HOSTTRANSLATIONS_H
#define HOSTTRANSLATIONS_H

#include <QLocale>
#include <QSet>
#include <QString>
#include <QStringList>

class QCoreApplication;

// Installs the message catalogues of one user-interface language: Qt's own
// catalogue for its standard texts (where the system has it), and every
// catalogue found in the resource tree as
// :/resource/translations/<name>_<locale>.qm. That folder holds the host's
// own catalogue and, once their libraries are loaded, those of the
// plug-ins, so the host needs to know no plug-in by name.
//
// A catalogue missing for the language is no error: its texts stay in
// English. The translators belong to the application and live as long as it.
//
//     HostTranslations translations(QLocale::system());
//     translations.install(app);   // Qt's and the host's
//     registry.scan(folders);       // loads the plug-ins' resources
//     translations.install(app);   // adds the plug-ins'
class HostTranslations
{
public:
    explicit HostTranslations(const QLocale &locale);

    // Installs every catalogue for the language not installed by an earlier
    // call. Returns the names of those installed now (such as "qtbase",
    // "sorv", "browsefbfile").
    QStringList install(QCoreApplication *app);

    // The folder under which catalogues are looked up in the resource tree.
    static QString resourceFolder();

private:
    QLocale m_locale;
    QSet<QString> m_tried; // catalogue names looked up already
};

#endif // HOSTTRANSLATIONS_H
