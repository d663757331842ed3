#include "common/Conventions.h"

#include <gtest/gtest.h>

using teintelle::applicationTitle;
using teintelle::errorBoxText;

TEST(ApplicationTitle, NameCutAtFirstDotAndLowerCasedAfterFirstCharacter)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C:/Programmes/Teintelle.exe", "Teintelle"},
        {"TEINTELLE.EXE", "Teintelle"},
        {"/opt/Teintelle.old.exe", "Teintelle"},
        {"/usr/local/bin/Teintelle", "Teintelle"},
        {"teintelle", "teintelle"},           // the first character stays as it is
        {"/x/ÉCLAT.exe", "Éclat"},             // Latin-1 capitals are lowered too
        {"/x/.hidden", ""},
    };
    for (const auto& [path, title] : cases)
        EXPECT_EQ(applicationTitle(path), title) << path;
}

TEST(ErrorBoxText, DotAddedOnlyAfterCharactersAboveTheDot)
{
    // Characters around "." (code 46): up to it the message stays as it is.
    for (char last : std::string(" !\"#$%&'()*+,-.")) {
        const std::string message = std::string("Message") + last;
        EXPECT_EQ(errorBoxText(message), message) << "last character " << last;
    }
    for (char last : std::string("/09:;?AZaz~")) {
        const std::string message = std::string("Message") + last;
        EXPECT_EQ(errorBoxText(message), message + ".") << "last character " << last;
    }
    EXPECT_EQ(errorBoxText("Index de liste hors limites (5)"), "Index de liste hors limites (5)");
    EXPECT_EQ(errorBoxText("Mémoire insuffisante"), "Mémoire insuffisante.");
    EXPECT_EQ(errorBoxText("Erreur de vérification d'étendue"), "Erreur de vérification d'étendue.");
    EXPECT_EQ(errorBoxText("Fichier déjà ouvert é"), "Fichier déjà ouvert é.");
    EXPECT_EQ(errorBoxText(""), "");
}
