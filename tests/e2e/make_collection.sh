#!/usr/bin/env bash
# Makes a small real collection for the end-to-end scenario: two albums of
# tagged MP3 files with audible tones (sox, lame), no catalogue (the player
# scans and writes it).
#
#   tests/e2e/make_collection.sh FOLDER
set -euo pipefail
root="${1:?folder}"
mkdir -p "$root"
song() {  # folder file seconds frequency title artist album
    mkdir -p "$root/$1"
    sox -q -V1 -n -r 44100 -c 2 -b 16 -t wav - synth "$3" sine "$4" vol 0.5 |
        lame --quiet -b 64 --tt "$5" --ta "$6" --tl "$7" - "$root/$1/$2"
}
song "Kammerton/Stimmgabel" "01-Das a.mp3" 40 440 "Das a" "Kammerton" "Stimmgabel"
song "Kammerton/Stimmgabel" "02-Das e.mp3" 40 660 "Das e" "Kammerton" "Stimmgabel"
song "Kammerton/Stimmgabel" "03-Das d.mp3" 40 587 "Das d" "Kammerton" "Stimmgabel"
song "Orgelpfeifen/Zweites Album" "01-Tief.mp3" 10 110 "Tief" "Orgelpfeifen" "Zweites Album"
