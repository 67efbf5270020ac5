#include "app/CertificateTrust.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "sources/SourceSettings.h"

namespace tunrax {

QString FingerprintLines(const std::string& fingerprint) {
    // 16 pairs and their colons: 47 characters.
    const QString text = QString::fromStdString(fingerprint);
    return text.size() > 48 ? text.left(48) + QLatin1Char('\n') + text.mid(48) : text;
}

TCertificateTrust::TCertificateTrust(QWidget* parent, const char* suffix) : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    FShown = new QLabel(this);
    FShown->setObjectName(QStringLiteral("laZertifikat") + QLatin1String(suffix));
    FShown->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    column->addWidget(FShown);
    auto* buttons = new QHBoxLayout;
    FTrust = new QPushButton(QStringLiteral("Diesem Zertifikat &vertrauen"), this);
    FTrust->setObjectName(QStringLiteral("btnVertrauen") + QLatin1String(suffix));
    FRemove = new QPushButton(QStringLiteral("Vertrauen &entfernen"), this);
    FRemove->setObjectName(QStringLiteral("btnVertrauenEntfernen") + QLatin1String(suffix));
    buttons->addWidget(FTrust);
    buttons->addWidget(FRemove);
    buttons->addStretch();
    column->addLayout(buttons);

    connect(FTrust, &QPushButton::clicked, this, [this] {
        FAddress = FOfferedAddress;
        FFingerprint = FOffered;
        Withdraw();
        Q_EMIT Trusted();
    });
    connect(FRemove, &QPushButton::clicked, this, [this] {
        FAddress.clear();
        FFingerprint.clear();
        ShowState();
    });
    ShowState();
}

void TCertificateTrust::Load(const std::string& entry) {
    const size_t space = entry.rfind(' ');
    FAddress = space == std::string::npos ? std::string() : entry.substr(0, space);
    FFingerprint = TrustedFingerprint(entry, FAddress);
    ShowState();
}

std::string TCertificateTrust::FingerprintFor(const std::string& address) const {
    return FFingerprint.empty() ? std::string()
                                : TrustedFingerprint(TrustEntry(FAddress, FFingerprint), address);
}

std::string TCertificateTrust::EntryFor(const std::string& address) const {
    return FingerprintFor(address).empty() ? std::string() : TrustEntry(address, FFingerprint);
}

void TCertificateTrust::Offer(const std::string& address, const std::string& fingerprint) {
    FOfferedAddress = address;
    FOffered = fingerprint;
    ShowState();
}

void TCertificateTrust::Withdraw() {
    FOfferedAddress.clear();
    FOffered.clear();
    ShowState();
}

void TCertificateTrust::ShowState() {
    const bool trusted = !FFingerprint.empty();
    FShown->setVisible(trusted);
    if (trusted)
        FShown->setText(QStringLiteral("Vertrautes Zertifikat für %1 (SHA-256):\n%2")
                            .arg(QString::fromStdString(FAddress), FingerprintLines(FFingerprint)));
    FRemove->setVisible(trusted);
    FTrust->setVisible(!FOffered.empty());
    setVisible(trusted || !FOffered.empty());
}

}  // namespace tunrax
