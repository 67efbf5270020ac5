// Below a server page's check: the one certificate the user trusts for that
// server, with "Vertrauen entfernen", and, after a check refused a
// certificate, the offer "Diesem Zertifikat vertrauen". Nothing is trusted
// but by that button. Holds the trust until the wizard saves it; the trust
// belongs to the address it was given for and to no other.
#pragma once

#include <QWidget>
#include <string>

class QLabel;
class QPushButton;

namespace tunrax {

class TCertificateTrust : public QWidget {
    Q_OBJECT

public:
    // suffix ends the object names: "laZertifikat", "btnVertrauen",
    // "btnVertrauenEntfernen".
    TCertificateTrust(QWidget* parent, const char* suffix);

    // The entry as the settings keep it (SourceSettings.h TrustEntry).
    void Load(const std::string& entry);
    // The fingerprint trusted for address; empty when none is.
    std::string FingerprintFor(const std::string& address) const;
    // What to store for address: the entry, or empty.
    std::string EntryFor(const std::string& address) const;

    // A check refused the certificate with fingerprint at address.
    void Offer(const std::string& address, const std::string& fingerprint);
    // A check begins: an earlier offer is no longer the question.
    void Withdraw();

Q_SIGNALS:
    // The user trusts the offered certificate now; the page checks again.
    void Trusted();

private:
    void ShowState();

    std::string FAddress;
    std::string FFingerprint;
    std::string FOfferedAddress;
    std::string FOffered;
    QLabel* FShown = nullptr;
    QPushButton* FTrust = nullptr;
    QPushButton* FRemove = nullptr;
};

// A fingerprint in two lines of 16 pairs, as it is read out and compared.
QString FingerprintLines(const std::string& fingerprint);

}  // namespace tunrax
