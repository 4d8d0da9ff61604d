#pragma once

#include "spelling/SpellDictionary.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <memory>

class Hunspell;

// The main dictionary: a Hunspell dictionary pair (NAME.aff, NAME.dic).
class HunspellDictionary : public SpellDictionary
{
public:
    // Nothing is loaded when either file is missing; IsLoaded() then says so.
    HunspellDictionary(const QString &affPath, const QString &dicPath);
    ~HunspellDictionary() override;

    // The system's dictionary for a language ("en_US"), or nothing when it is not installed.
    static std::unique_ptr<HunspellDictionary> System(const QString &language);
    // The folders searched for a system dictionary.
    static QStringList SystemFolders();
    static QString LibraryVersion();

    bool IsLoaded() const { return m_hunspell != nullptr; }
    bool IsCorrect(const QString &word) const override;
    QStringList Suggestions(const QString &word) const override;

private:
    std::string encode(const QString &word) const;

    std::unique_ptr<Hunspell> m_hunspell;
    mutable QStringEncoder m_encoder;
    mutable QStringDecoder m_decoder;
};
