#!/usr/bin/env bash
# Makes the small real collections of the end-to-end scenarios: tagged MP3
# files with audible tones (sox, lame), no catalogue (the player scans and
# writes it).
#
#   tests/e2e/make_collection.sh FOLDER
#
# FOLDER/Musik: long songs (40 s, for pausing, hiding and favourites, and one
# that grows loud at 30 s, for moving within a song) and
# short ones (2.5 s, to hear songs follow one another);
# FOLDER/Zweite: another collection, to change to in the settings;
# FOLDER/Umlaute: umlauts and ":" in names (see its end).
set -euo pipefail
folder="${1:?folder}"
song() {  # collection folder file seconds frequency title artist album
    mkdir -p "$folder/$1/$2"
    sox -q -V1 -n -r 44100 -c 2 -b 16 -t wav - synth "$4" sine "$5" vol 0.5 |
        lame --quiet -b 64 --tt "$6" --ta "$7" --tl "$8" - "$folder/$1/$2/$3"
}
song Musik "Kammerton/Stimmgabel" "01-Das a.mp3" 40 440 "Das a" "Kammerton" "Stimmgabel"
song Musik "Kammerton/Stimmgabel" "02-Das e.mp3" 40 660 "Das e" "Kammerton" "Stimmgabel"
song Musik "Kammerton/Stimmgabel" "03-Das d.mp3" 40 587 "Das d" "Kammerton" "Stimmgabel"
song Musik "Orgelpfeifen/Zweites Album" "01-Tief.mp3" 10 110 "Tief" "Orgelpfeifen" "Zweites Album"
song Musik "Glockenspiel/Dreiklang" "01-Do.mp3" 2.5 523 "Do" "Glockenspiel" "Dreiklang"
song Musik "Glockenspiel/Dreiklang" "02-Mi.mp3" 2.5 659 "Mi" "Glockenspiel" "Dreiklang"
song Musik "Glockenspiel/Dreiklang" "03-Sol.mp3" 2.5 784 "Sol" "Glockenspiel" "Dreiklang"
song Musik "Glockenspiel/Zweiklang" "01-Hell.mp3" 2.5 1047 "Hell" "Glockenspiel" "Zweiklang"
song Musik "Glockenspiel/Zweiklang" "02-Dunkel.mp3" 2.5 262 "Dunkel" "Glockenspiel" "Zweiklang"
song Zweite "Posaunenchor/Choräle" "01-Lobet.mp3" 3 349 "Lobet" "Posaunenchor" "Choräle"
# For moving within a song: 30 s of a quiet tone, then 10 s of a loud one, so
# that what is heard tells which part plays.
mkdir -p "$folder/Musik/Sirene/Weckruf"
sox -q -V1 -n -r 44100 -c 2 -b 16 "$folder/quiet.wav" synth 30 sine 330 vol 0.05
sox -q -V1 -n -r 44100 -c 2 -b 16 "$folder/loud.wav" synth 10 sine 660 vol 0.5
sox -q -V1 "$folder/quiet.wav" "$folder/loud.wav" -t wav - |
    lame --quiet -b 64 --tt "Signal" --ta "Sirene" --tl "Weckruf" - \
        "$folder/Musik/Sirene/Weckruf/01-Signal.mp3"
rm "$folder/quiet.wav" "$folder/loud.wav"
# FOLDER/Umlaute: names as a German collection has them, capital umlauts and a
# ":" in a song's name, for what is drawn and read aloud.
song Umlaute "Ölzeug/Neue Überall" "05 Teil 1: Anfang.mp3" 20 440 "Übermut" "Ölzeug" "Neue Überall"
song Umlaute "Ölzeug/Neue Überall" "06 Teil 2: Ende.mp3" 20 660 "Ärger" "Ölzeug" "Neue Überall"
song Umlaute "Ärzte/Ödland" "01-Öl.mp3" 3 523 "Öl" "Ärzte" "Ödland"
