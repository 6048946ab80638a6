#pragma once

#include <QLocale>
#include <QStringList>

#include <memory>
#include <vector>

class QTranslator;

// Every run of a Dimra program speaks one language, Chinese or English.
//
// The window's texts, and those of the serial link it shares with dimractl,
// are written in Chinese; the command-line programs' own texts are written
// in English. Each program carries a catalogue for each language
// (res/translations), which gives the texts written in the other one, and
// Qt's own texts (dialog buttons, --help headings, serial port errors) come
// from the system's Qt translations when they are installed (on Windows,
// from the program itself).
class CRunLanguage
{
public:
    enum Language { Chinese, English };
    enum Program { Window, CommandLine };

    // The language for the user's UI languages, most wanted first, as
    // QLocale::uiLanguages() gives them: the first that Dimra speaks; any
    // other named language gives English. When none is named (C, POSIX),
    // the window stays Chinese, as it has always been, and the command
    // line speaks English.
    static Language choose(Program program, const QStringList &uiLanguages);

    // Installs the language of this run into the application until the
    // object goes. Call after the application object exists and before any
    // text is made.
    explicit CRunLanguage(Program program, const QStringList &uiLanguages = QLocale::system().uiLanguages());
    explicit CRunLanguage(Language language);
    ~CRunLanguage();
    CRunLanguage(const CRunLanguage &) = delete;
    CRunLanguage &operator=(const CRunLanguage &) = delete;

    Language language() const { return m_language; }

private:
    bool install(const QString &fileName, const QString &directory);

    Language m_language;
    std::vector<std::unique_ptr<QTranslator>> m_translators;
};
