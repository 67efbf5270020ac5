// The player bar under the song list: previous, play/pause, next and stop,
// a position slider with the song's elapsed and total time ("1:23 / 4:56")
// that moves within the song, and a volume slider. Every control is a command
// of the remote control (TMediaControl), so the bar, the tray, the media keys
// and MPRIS always agree; the bar only shows what the controller reports.
//
// The commands are actions ("acAbspielen", "acStopp", "acNaechstes",
// "acVorheriges", "acLauter", "acLeiser") that the window also puts into its
// menu "&Wiedergabe" with their keys. The bar owns its actions and controls;
// nothing here throws but what the controller throws.
#pragma once

#include <QList>
#include <QWidget>

class QAction;
class QLabel;
class QSlider;
class QTimer;

namespace tunrax {

class TMediaControl;

class TPlayerBar : public QWidget {
public:
    TPlayerBar(TMediaControl& control, QWidget* parent);

    // The commands in menu order (a null entry stands for a separator).
    QList<QAction*> MenuActions() const;
    // Which commands may be given now; the window calls it when idle.
    void UpdateEnabled();

    QSlider* PositionSlider() const { return FPosition; }
    QSlider* VolumeSlider() const { return FVolume; }
    QLabel* TimeLabel() const { return FTime; }

    // "m:ss" (or "h:mm:ss") for microseconds; "0:00" for an unknown time.
    static QString TimeText(int64_t microseconds);

protected:
    void changeEvent(QEvent* event) override;

private:
    // The pictures in the palette's colour.
    void PaintGlyphs();
    // Caption, time, position and volume as the controller reports them.
    void ShowState();
    void ShowTime(int64_t position, int64_t length);
    void SeekTo(int milliseconds);
    void ChangeVolume(int steps);

    TMediaControl& FControl;
    QAction* FPrevious;
    QAction* FPlayPause;
    QAction* FNext;
    QAction* FStop;
    QAction* FLouder;
    QAction* FQuieter;
    QSlider* FPosition;
    QLabel* FTime;
    QSlider* FVolume;
    QLabel* FSpeaker;
    // Moves the position slider on while a song plays.
    QTimer* FClock;
};

}  // namespace tunrax
