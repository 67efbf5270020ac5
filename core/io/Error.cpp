#include "io/Error.h"

#include <cerrno>
#include <cstring>

namespace tunrax {

std::string SystemErrorText(int errorNumber) {
    // The C library speaks English unless German catalogues are installed;
    // the errors a user meets with files and connections get a German text
    // of our own.
    switch (errorNumber) {
        case ENOENT: return "Datei oder Verzeichnis nicht gefunden";
        case EACCES:
        case EPERM: return "Zugriff verweigert";
        case EISDIR: return "Ist ein Verzeichnis";
        case ENOTDIR: return "Ist kein Verzeichnis";
        case ENOSPC: return "Kein freier Platz mehr auf dem Datenträger";
        case EDQUOT: return "Speicherplatz-Kontingent überschritten";
        case EROFS: return "Schreibgeschütztes Dateisystem";
        case EEXIST: return "Datei existiert bereits";
        case ENAMETOOLONG: return "Dateiname zu lang";
        case ELOOP: return "Zu viele Ebenen symbolischer Verknüpfungen";
        case EIO: return "Ein-/Ausgabefehler";
        case EBUSY: return "Gerät oder Ressource belegt";
        case ENOTEMPTY: return "Verzeichnis nicht leer";
        case ESPIPE: return "Der Datenstrom lässt sich nicht an den Anfang zurücksetzen";
        case EMFILE:
        case ENFILE: return "Zu viele offene Dateien";
        // And those of a connection to a server.
        case ECONNREFUSED: return "Verbindung verweigert";
        case ECONNRESET: return "Verbindung vom Server zurückgesetzt";
        case ECONNABORTED: return "Verbindung abgebrochen";
        case EPIPE: return "Verbindung unterbrochen";
        case ETIMEDOUT: return "Zeitüberschreitung der Verbindung";
        case EHOSTUNREACH: return "Rechner nicht erreichbar";
        case ENETUNREACH: return "Netzwerk nicht erreichbar";
        case EADDRNOTAVAIL: return "Adresse nicht verfügbar";
        default: return std::strerror(errorNumber);
    }
}

}  // namespace tunrax
