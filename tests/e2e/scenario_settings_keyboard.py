#!/usr/bin/python3
"""The settings wizard with the keyboard only: "Einstellungen" through its
mnemonic, Enter moving on between the fields as Tab does, another collection
folder typed in, "Speichern" reached and pressed with keys; the album tree
then shows the new collection."""
from e2e import (activate, album_tree, cells, collection, dialog, focused, fresh_home, key,
                 main_window_id, require, run, shot, start, step, tab_to, text_of, type_text,
                 wait_for)


def wizard():
    return dialog("Einstellungen")


def focus_name():
    acc = focused(wizard())
    return acc and f"{acc.getRoleName()} '{acc.name}'"


def scenario():
    old = collection()
    new = collection("Zweite")
    tunrax = start(fresh_home(old))
    activate(main_window_id())

    key("alt+e")
    require("Alt+E opens the settings wizard", wait_for(wizard, 5))
    step("the focus starts on the chosen kind of place, 'lokal'",
         wait_for(lambda: focused(wizard()).name == "lokal", 2), focus_name())
    key("Return")
    step("Enter moves the focus on and leaves the wizard open",
         wait_for(lambda: focused(wizard()).name != "lokal", 2) and wizard() is not None,
         focus_name())
    require("Tab reaches 'Weiter >'", tab_to("Weiter >", wizard()), focus_name())
    key("Return")

    field = wait_for(lambda: focused(wizard()) if focused(wizard()).getRoleName() == "text"
                     else None, 3)
    require("the page of the local folder comes up with the focus in the folder field",
            field is not None, focus_name())
    step("the field shows the folder in use", text_of(field) == old, text_of(field))
    key("ctrl+a")
    type_text(new)
    step("the new folder is typed in", wait_for(lambda: text_of(field) == new, 2), text_of(field))
    shot("neues-verzeichnis")
    key("Return")
    step("Enter in the folder field moves the focus on and leaves the wizard open",
         wait_for(lambda: focused(wizard()) != field, 2) and wizard() is not None, focus_name())
    require("Tab reaches 'Speichern'", tab_to("Speichern", wizard()), focus_name())
    shot("speichern")
    key("Return")
    require("Enter on 'Speichern' saves and closes the wizard",
            wait_for(lambda: wizard() is None, 5))

    settings = open(tunrax.settings_file, encoding="utf-8").read()
    step("the settings file holds the new folder",
         f"Verzeichnis={new}\n" in settings and "Typ=0" in settings,
         settings.replace("\n", " | "))
    step("the album tree shows the new collection",
         wait_for(lambda: cells(album_tree()) == ["Posaunenchor"], 10), cells(album_tree()))
    shot("neue-sammlung")
    step("'Beenden' ends the program", tunrax.quit() == 0)


if __name__ == "__main__":
    run(scenario)
