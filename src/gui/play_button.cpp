#include "gui/play_button.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QMediaDevices>
#include <QMenu>

namespace tdv::gui {
namespace {

constexpr const char* kPlayCaption = "&Play";
constexpr const char* kStopCaption = "&Stop";

// Plays 16-bit samples from memory through the default output device.
class SinkOutput : public AudioOutput {
public:
    bool play(const extract::PcmAudio& audio, QString* error) override {
        stop();
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) {
            *error = "No sound output is available on this computer.";
            return false;
        }
        QAudioFormat format;
        format.setSampleRate(audio.sampleRate);
        format.setChannelCount(audio.channels);
        format.setSampleFormat(QAudioFormat::Int16);
        const extract::PcmAudio* samples = &audio;
        extract::PcmAudio resampled;
        if (!device.isFormatSupported(format)) {
            // Telephone audio (8 kHz mono) goes out at the device's own rate.
            const QAudioFormat preferred = device.preferredFormat();
            resampled = extract::converted(audio, preferred.sampleRate(),
                                           std::max(preferred.channelCount(), 1));
            format.setSampleRate(resampled.sampleRate);
            format.setChannelCount(resampled.channels);
            samples = &resampled;
        }
        data_ = QByteArray(reinterpret_cast<const char*>(samples->samples.data()),
                           static_cast<qsizetype>(samples->samples.size() * sizeof(int16_t)));
        buffer_.close();
        buffer_.setData(data_);
        buffer_.open(QIODevice::ReadOnly);
        sink_ = std::make_unique<QAudioSink>(device, format);
        connect(sink_.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
            if (sink_ == nullptr) return;
            if (state == QAudio::IdleState ||
                (state == QAudio::StoppedState && sink_->error() != QAudio::NoError)) {
                release();
                emit finished();
            }
        });
        sink_->start(&buffer_);
        if (sink_->error() != QAudio::NoError || sink_->state() == QAudio::StoppedState) {
            release();
            *error = "The sound output could not be started.";
            return false;
        }
        return true;
    }
    void stop() override { release(); }
    bool playing() const override { return sink_ != nullptr; }

private:
    void release() {
        if (sink_ == nullptr) return;
        auto sink = std::move(sink_);
        sink->disconnect(this);
        sink->stop();
        buffer_.close();
    }
    QByteArray data_;
    QBuffer buffer_;
    std::unique_ptr<QAudioSink> sink_;
};

}  // namespace

std::unique_ptr<AudioOutput> systemAudioOutput() {
    return std::make_unique<SinkOutput>();
}

PlayButton::PlayButton(ui::UiPort& ui, Source source, QWidget* parent)
    : QPushButton(kPlayCaption, parent),
      ui_(ui),
      source_(std::move(source)),
      chooser_(new QMenu(this)) {
    chooser_->setObjectName("mnuPlayChooser");
    setToolTip("Plays the selected recording without writing a file");
    connect(this, &QPushButton::clicked, this, [this] { clicked(); });
    connect(chooser_, &QMenu::triggered, this, [this](QAction* action) {
        const int i = action->data().toInt();
        if (i >= 0 && i < static_cast<int>(offered_.size())) play(offered_[static_cast<size_t>(i)]);
    });
    setOutput(systemAudioOutput());
}

PlayButton::~PlayButton() {
    if (output_) output_->stop();
}

void PlayButton::setOutput(std::unique_ptr<AudioOutput> output) {
    if (output_) output_->stop();
    output_ = std::move(output);
    if (output_) connect(output_.get(), &AudioOutput::finished, this, [this] { showState(); });
    showState();
}

bool PlayButton::playing() const {
    return output_ && output_->playing();
}

void PlayButton::showState() {
    setText(playing() ? kStopCaption : kPlayCaption);
}

void PlayButton::stop() {
    if (output_) output_->stop();
    showState();
}

void PlayButton::clicked() {
    if (playing()) {
        stop();
        return;
    }
    extract::Recordings found = source_ ? source_() : extract::Recordings{};
    if (found.items.empty()) {
        ui_.messageBox(found.error.empty() ? "There is nothing to play." : found.error,
                       ui::Buttons::Ok);
        return;
    }
    if (found.items.size() == 1) {
        play(found.items.front());
        return;
    }
    offered_ = std::move(found.items);
    chooser_->clear();
    for (size_t i = 0; i < offered_.size(); ++i) {
        QAction* a = chooser_->addAction(QString::fromStdString(offered_[i].label));
        a->setData(static_cast<int>(i));
    }
    chooser_->popup(mapToGlobal(QPoint(0, height())));
}

void PlayButton::play(const extract::Recording& recording) {
    const extract::DecodedWav decoded = extract::decodeWav(recording.bytes);
    QString error;
    if (!decoded.ok) {
        error = QString::fromStdString(decoded.error);
    } else if (!output_) {
        error = "No sound output is available on this computer.";
    } else {
        output_->play(decoded.audio, &error);
    }
    showState();
    if (!error.isEmpty()) {
        ui_.messageBox(recording.label + ": " + error.toStdString(), ui::Buttons::Ok);
    }
}

}  // namespace tdv::gui
