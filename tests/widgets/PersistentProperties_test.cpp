#include "widgets/PersistentProperties.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QWidget>
#include <functional>
#include <vector>

#include "settings/IniFile.h"
#include "support/TempDir.h"

using namespace tunrax;
using tunrax::test::ReadFile;
using tunrax::test::TempDir;

namespace {

// The copy wizard's four remembered controls.
struct CopyOptions {
    explicit CopyOptions(TIniFile& settings) : ini(&form, settings) {
        ini.Group = "mobiler tunRax";
        ini.AddItem(&edDir, QStringLiteral("TEXT"), "", "Verzeichnis", QString());
        ini.AddItem(&cbLoeschen, QStringLiteral("Checked"), "", "Löschen", false);
        ini.AddItem(&cbOrg, QStringLiteral("checked"), "", "Org_Alben", false);
        ini.AddItem(&cbListe, QStringLiteral("CHECKED"), "", "ListenName", true);
    }
    QWidget form;
    TPersistentProperties ini;
    QLineEdit edDir;
    QCheckBox cbLoeschen, cbOrg, cbListe;
};

}  // namespace

TEST(AutoIni, FirstRunDefaultsAndRoundTrip) {
    TempDir tmp;
    const std::string file = tmp / "tunrax.ini";
    {
        TIniFile settings(file);
        CopyOptions options(settings);
        options.cbLoeschen.setChecked(true);
        options.edDir.setText(QStringLiteral("x"));
        options.ini.LoadValues();
        EXPECT_EQ(options.edDir.text(), QString());
        EXPECT_FALSE(options.cbLoeschen.isChecked());
        EXPECT_FALSE(options.cbOrg.isChecked());
        EXPECT_TRUE(options.cbListe.isChecked());

        options.edDir.setText(QStringLiteral("/media/Spieler/Mein Ordner ä"));
        options.cbOrg.setChecked(true);
        options.cbListe.setChecked(false);
        options.ini.SaveValues();
    }
    EXPECT_EQ(ReadFile(file),
              "[mobiler tunRax]\r\nVerzeichnis=/media/Spieler/Mein Ordner \xC3\xA4\r\n"
              "L\xC3\xB6schen=0\r\nOrg_Alben=1\r\nListenName=0\r\n");
    TIniFile settings(file);
    CopyOptions options(settings);
    options.ini.LoadValues();
    EXPECT_EQ(options.edDir.text(), QStringLiteral("/media/Spieler/Mein Ordner ä"));
    EXPECT_FALSE(options.cbLoeschen.isChecked());
    EXPECT_TRUE(options.cbOrg.isChecked());
    EXPECT_FALSE(options.cbListe.isChecked()) << "an unchecked box with default true stays off";
}

TEST(AutoIni, UnsupportedRegistrationsRaiseAndRegisterNothing) {
    TempDir tmp;
    TIniFile settings(tmp / "tunrax.ini");
    QWidget form;
    TPersistentProperties ini(&form, settings);
    QCheckBox box;
    QSpinBox spin;
    QLineEdit edit;
    try {
        ini.AddItem(&box, QStringLiteral("Farbe"), "s", "k", false);
        FAIL() << "no error";
    } catch (const PropertyConvertError& error) {
        EXPECT_STREQ(error.what(), "Eigenschaft Farbe bei QCheckBox nicht vorhanden");
    }
    for (auto add : std::vector<std::function<void()>>{
             [&] { ini.AddItem(&box, QStringLiteral("checked"), "s", "k", QStringLiteral("1")); },
             [&] { ini.AddItem(&spin, QStringLiteral("value"), "s", "k", 1); }}) {
        try {
            add();
            ADD_FAILURE() << "no error";
        } catch (const PropertyConvertError& error) {
            EXPECT_STREQ(error.what(), "Dieser Typ wird nicht unterstützt");
        }
    }
    EXPECT_EQ(ini.ItemCount(), 0);

    // A section of its own wins over Group; a text takes any default.
    ini.Group = "g";
    ini.AddItem(&edit, QStringLiteral("text"), "eigen", "k", 42);
    ini.LoadValues();
    EXPECT_EQ(edit.text(), QStringLiteral("42"));
    edit.setText(QStringLiteral("neu"));
    ini.SaveValues();
    EXPECT_EQ(settings.ReadString("eigen", "k", ""), "neu");
    EXPECT_FALSE(settings.SectionExists("g"));
}
