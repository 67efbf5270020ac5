#include "app/PlayerBar.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cmath>

#include "app/MediaControl.h"
#include "app/MediaGlyphs.h"
#include "app/PlaybackEvents.h"
#include "widgets/WholeGlyphs.h"

namespace tunrax {

namespace {

constexpr int kClockMs = 250;
// Whether the play/pause command shows the pause glyph.
const char* const kShowsPause = "showsPause";
// Arrow keys on the position slider move by 5 s, Page keys by 30 s.
constexpr int kSeekStepMs = 5000;
constexpr int kSeekPageMs = 30000;
// Percent per step of the volume keys.
constexpr int kVolumeStep = 5;

QToolButton* ButtonFor(QAction* action, QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setDefaultAction(action);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus);
    return button;
}

}  // namespace

TPlayerBar::TPlayerBar(TMediaControl& control, QWidget* parent)
    : QWidget(parent), FControl(control) {
    setObjectName(QStringLiteral("pnWiedergabe"));
    setAccessibleName(QStringLiteral("Wiedergabe"));
    const auto make = [this](const char* caption, QKeySequence keys, const char* name) {
        auto* action = new QAction(QString::fromUtf8(caption), this);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setObjectName(QString::fromLatin1(name));
        action->setToolTip(action->text() + QStringLiteral(" (") +
                           keys.toString(QKeySequence::NativeText) + QLatin1Char(')'));
        return action;
    };
    FPrevious = make("Vorheriges Lied", QKeySequence(Qt::CTRL | Qt::Key_Left), "acVorheriges");
    FPlayPause = make("Abspielen", QKeySequence(Qt::CTRL | Qt::Key_Space), "acAbspielen");
    FNext = make("Nächstes Lied", QKeySequence(Qt::CTRL | Qt::Key_Right), "acNaechstes");
    FStop = make("Stopp", QKeySequence(), "acStopp");
    FLouder = make("Lauter", QKeySequence(Qt::CTRL | Qt::Key_Up), "acLauter");
    FQuieter = make("Leiser", QKeySequence(Qt::CTRL | Qt::Key_Down), "acLeiser");
    connect(FPrevious, &QAction::triggered, this, [this] { FControl.MediaPrevious(); });
    connect(FPlayPause, &QAction::triggered, this, [this] { FControl.MediaPlayPause(); });
    connect(FNext, &QAction::triggered, this, [this] { FControl.MediaNext(); });
    connect(FStop, &QAction::triggered, this, [this] { FControl.MediaStop(); });
    connect(FLouder, &QAction::triggered, this, [this] { ChangeVolume(1); });
    connect(FQuieter, &QAction::triggered, this, [this] { ChangeVolume(-1); });

    FPosition = new QSlider(Qt::Horizontal, this);
    FPosition->setObjectName(QStringLiteral("tbPosition"));
    FPosition->setAccessibleName(QStringLiteral("Position"));
    FPosition->setSingleStep(kSeekStepMs);
    FPosition->setPageStep(kSeekPageMs);
    FPosition->setRange(0, 0);
    FTime = new TWholeGlyphsLabel(this);
    FTime->setObjectName(QStringLiteral("laZeit"));
    FVolume = new QSlider(Qt::Horizontal, this);
    FVolume->setObjectName(QStringLiteral("tbLautstaerke"));
    FVolume->setAccessibleName(QStringLiteral("Lautstärke"));
    FVolume->setRange(0, 100);
    FVolume->setSingleStep(kVolumeStep);
    FVolume->setPageStep(4 * kVolumeStep);
    FVolume->setFixedWidth(FVolume->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 10);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(2, 0, 2, 0);
    row->setSpacing(2);
    for (QAction* action : {FPrevious, FPlayPause, FNext, FStop})
        row->addWidget(ButtonFor(action, this));
    row->addWidget(FPosition, 1);
    row->addWidget(FTime);
    FSpeaker = new QLabel(this);
    row->addWidget(FSpeaker);
    row->addWidget(FVolume);

    // The user's moves: a drag ends where the slider is let go; a click on
    // the groove or a key moves at once.
    connect(FPosition, &QSlider::sliderMoved, this,
            [this](int ms) { ShowTime(int64_t{ms} * 1000, int64_t{FPosition->maximum()} * 1000); });
    connect(FPosition, &QSlider::sliderReleased, this, [this] { SeekTo(FPosition->value()); });
    connect(FPosition, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove && action != QAbstractSlider::SliderNoAction)
            SeekTo(FPosition->sliderPosition());
    });
    connect(FVolume, &QSlider::valueChanged, this,
            [this](int percent) { FControl.MediaSetVolume(percent / 100.0); });

    FClock = new QTimer(this);
    FClock->setInterval(kClockMs);
    connect(FClock, &QTimer::timeout, this, &TPlayerBar::ShowState);
    connect(&FControl.MediaEvents(), &TPlaybackEvents::Changed, this, &TPlayerBar::ShowState);
    PaintGlyphs();
    ShowState();
    UpdateEnabled();
}

void TPlayerBar::PaintGlyphs() {
    const QColor colour = palette().color(QPalette::Active, QPalette::ButtonText);
    const qreal ratio = devicePixelRatioF();
    const bool pause = FPlayPause->property(kShowsPause).toBool();
    const std::pair<QAction*, TMediaGlyph> glyphs[] = {
        {FPrevious, TMediaGlyph::Previous},
        {FPlayPause, pause ? TMediaGlyph::Pause : TMediaGlyph::Play},
        {FNext, TMediaGlyph::Next},
        {FStop, TMediaGlyph::Stop}};
    for (const auto& [action, glyph] : glyphs)
        action->setIcon(MediaGlyphIcon(glyph, colour, ratio));
    FSpeaker->setPixmap(
        MediaGlyphIcon(TMediaGlyph::Speaker, colour, ratio).pixmap(QSize(16, 16), ratio));
}

void TPlayerBar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // A new theme (light to dark) or a move to a screen of another scale.
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        PaintGlyphs();
}

QList<QAction*> TPlayerBar::MenuActions() const {
    return {FPlayPause, FStop, nullptr, FNext, FPrevious, nullptr, FLouder, FQuieter};
}

void TPlayerBar::UpdateEnabled() {
    const TPlaybackStatus status = FControl.MediaStatus();
    FPlayPause->setEnabled(status != TPlaybackStatus::Stopped || FControl.MediaCanPlay());
    FStop->setEnabled(status != TPlaybackStatus::Stopped);
    FNext->setEnabled(FControl.MediaCanGoNext());
    FPrevious->setEnabled(FControl.MediaCanGoPrevious());
}

void TPlayerBar::ShowState() {
    const TPlaybackStatus status = FControl.MediaStatus();
    const bool playing = status == TPlaybackStatus::Playing;
    FPlayPause->setText(playing ? QStringLiteral("Pause") : QStringLiteral("Abspielen"));
    if (playing != FPlayPause->property(kShowsPause).toBool()) {
        FPlayPause->setProperty(kShowsPause, playing);
        PaintGlyphs();
    }
    if (playing != FClock->isActive())
        playing ? FClock->start() : FClock->stop();

    const int64_t length = status == TPlaybackStatus::Stopped ? -1 : FControl.MediaTrack().Length;
    const int64_t position = length < 0 ? -1 : FControl.MediaPosition();
    FPosition->setEnabled(length > 0);
    if (!FPosition->isSliderDown()) {
        const QSignalBlocker quiet(FPosition);
        FPosition->setRange(0, static_cast<int>(std::max<int64_t>(length, 0) / 1000));
        FPosition->setValue(static_cast<int>(std::max<int64_t>(position, 0) / 1000));
        ShowTime(position, length);
    }
    const int percent = static_cast<int>(std::lround(FControl.MediaVolume() * 100));
    if (FVolume->value() != percent && !FVolume->isSliderDown()) {
        const QSignalBlocker quiet(FVolume);
        FVolume->setValue(percent);
    }
}

void TPlayerBar::ShowTime(int64_t position, int64_t length) {
    const QString text = TimeText(position) + QStringLiteral(" / ") + TimeText(length);
    FTime->setText(text);
    FPosition->setAccessibleDescription(text);
}

void TPlayerBar::SeekTo(int milliseconds) {
    FControl.MediaSeek(int64_t{milliseconds} * 1000);
    ShowState();
}

void TPlayerBar::ChangeVolume(int steps) {
    // From the controller's volume, not the slider's: the slider only shows it.
    const double percent = std::round(FControl.MediaVolume() * 100) + steps * kVolumeStep;
    FControl.MediaSetVolume(std::clamp(percent, 0.0, 100.0) / 100.0);
}

QString TPlayerBar::TimeText(int64_t microseconds) {
    const int64_t seconds = std::max<int64_t>(microseconds, 0) / 1000000;
    const int64_t hours = seconds / 3600;
    const auto two = [](int64_t value) { return QString::number(value).rightJustified(2, u'0'); };
    if (hours > 0)
        return QString::number(hours) + u':' + two(seconds / 60 % 60) + u':' + two(seconds % 60);
    return QString::number(seconds / 60) + u':' + two(seconds % 60);
}

}  // namespace tunrax
