#include "language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

CRunLanguage::Language CRunLanguage::choose(Program program, const QStringList &uiLanguages)
{
    bool named = false;
    for (const QString &name : uiLanguages) {
        switch (QLocale(name).language()) {
        case QLocale::Chinese:
            return Chinese;
        case QLocale::English:
            return English;
        case QLocale::C:
        case QLocale::AnyLanguage:
            break;
        default:
            named = true; // no catalogue for it; a later entry may still be one Dimra speaks
            break;
        }
    }
    return named || program == CommandLine ? English : Chinese;
}

CRunLanguage::CRunLanguage(Program program, const QStringList &uiLanguages)
    : CRunLanguage(choose(program, uiLanguages))
{
}

CRunLanguage::CRunLanguage(Language language)
    : m_language(language)
{
    // Dimra's own catalogue for the language, embedded in the program.
    install(language == Chinese ? QStringLiteral("dimra_zh_CN") : QStringLiteral("dimra_en"), QStringLiteral(":/i18n"));
    // Qt writes its own texts in English; for Chinese they come from the
    // system's Qt translations, when installed, or else from the program
    // itself where it carries them (on Windows).
    if (language == Chinese) {
        const QString qtDirectory = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (!install(QStringLiteral("qtbase_zh_CN"), qtDirectory))
            install(QStringLiteral("qtbase_zh_CN"), QStringLiteral(":/i18n"));
    }
}

CRunLanguage::~CRunLanguage()
{
    for (const auto &translator : m_translators)
        QCoreApplication::removeTranslator(translator.get());
}

bool CRunLanguage::install(const QString &fileName, const QString &directory)
{
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(fileName, directory) || !QCoreApplication::installTranslator(translator.get()))
        return false; // a missing catalogue leaves those texts as written
    m_translators.push_back(std::move(translator));
    return true;
}
