// The Play/Stop button of the main window and the message browser: plays the selected
// object's recordings or the selected message straight from the backup, without writing a
// file.
//
// A click asks the window's source for the recordings. One is played at once; several
// open a small menu to choose from (voice name, greetings, questions). While a recording
// plays the button reads "&Stop" and a click stops it. A recording that cannot be played
// (no recordings, a secure message, an encoding the decoder refuses, no sound device) is
// one message box saying why; the window goes on working.
//
// The sound goes to an AudioOutput: the system's default output through Qt Multimedia, or
// another one that tests put in (the machines that run them have no sound card).
#pragma once

#include <QPushButton>
#include <functional>
#include <memory>

#include "extract/recordings.h"
#include "extract/wav_decode.h"
#include "ui/ui_port.h"

class QMenu;

namespace tdv::gui {

class AudioOutput : public QObject {
    Q_OBJECT
public:
    // Starts playing the audio (stopping what played before); false with the reason when
    // it cannot.
    virtual bool play(const extract::PcmAudio& audio, QString* error) = 0;
    virtual void stop() = 0;
    virtual bool playing() const = 0;

signals:
    // The audio played to its end, or the output failed while playing.
    void finished();
};

// The default sound output of the system (Qt Multimedia's QAudioSink).
std::unique_ptr<AudioOutput> systemAudioOutput();

class PlayButton : public QPushButton {
    Q_OBJECT
public:
    using Source = std::function<extract::Recordings()>;
    PlayButton(ui::UiPort& ui, Source source, QWidget* parent = nullptr);
    ~PlayButton() override;

    void setOutput(std::unique_ptr<AudioOutput> output);
    AudioOutput* output() const { return output_.get(); }
    // The chooser offered for several recordings (its entries are the recordings' labels).
    QMenu* chooser() const { return chooser_; }
    bool playing() const;
    // Decodes and plays one recording; a message box says why when it cannot.
    void play(const extract::Recording& recording);
    void stop();

private:
    void clicked();
    void showState();

    ui::UiPort& ui_;
    Source source_;
    std::unique_ptr<AudioOutput> output_;
    QMenu* chooser_;
    std::vector<extract::Recording> offered_;
};

}  // namespace tdv::gui
