#ifndef VELMARO_SCENE_VIDEOENCODER_H
#define VELMARO_SCENE_VIDEOENCODER_H

#include <QCoreApplication>
#include <QImage>
#include <QSize>
#include <QString>

#include <memory>

// Writes QImages as an H.264 MP4 at 30 frames a second through FFmpeg's
// libraries. The file is written beside its target and only takes the
// target's place when finish() succeeds: a cancelled or failed video leaves
// nothing behind, and an older file of the name stays as it was.
class VideoEncoder
{
    Q_DECLARE_TR_FUNCTIONS(VideoEncoder)
public:
    static constexpr int framesPerSecond = 30;

    VideoEncoder();
    ~VideoEncoder(); // discards an unfinished video
    VideoEncoder(const VideoEncoder &) = delete;
    VideoEncoder &operator=(const VideoEncoder &) = delete;

    // The size rounded down to even numbers, at least 2 x 2: yuv420p halves both.
    static QSize evenSize(const QSize &size);
    // Whether the FFmpeg build has an H.264 encoder, and what to tell when not.
    static bool hasH264Encoder();
    static QString missingEncoderText();

    // Starts a video of evenSize(size); false with error() set.
    bool open(const QString &path, const QSize &size);
    // Appends a frame; an image of another size is scaled to the video's.
    bool addFrame(const QImage &image);
    // Flushes the encoder, completes the file and moves it onto the target.
    bool finish();
    // Drops what was written; the target is untouched.
    void cancel();

    QSize size() const { return m_size; }
    int frameCount() const { return m_frames; }
    QString error() const { return m_error; }

private:
    struct Private;
    bool fail(const QString &what, int code = 0);
    bool drain();

    std::unique_ptr<Private> d;
    QSize m_size;
    int m_frames = 0;
    QString m_error;
};

#endif
