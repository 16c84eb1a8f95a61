#include "scene/videoencoder.h"

#include <QDir>
#include <QSaveFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace
{
constexpr int ioBufferSize = 1 << 16;

// The muxer writes through these into the QSaveFile; MP4 seeks back to
// patch its header sizes.
int writePacket(void *opaque, uint8_t *buffer, int size)
{
    auto *file = static_cast<QSaveFile *>(opaque);
    return file->write(reinterpret_cast<const char *>(buffer), size) == size ? size : AVERROR(EIO);
}

int64_t seekFile(void *opaque, int64_t offset, int whence)
{
    auto *file = static_cast<QSaveFile *>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return file->size();
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += file->pos();
        break;
    case SEEK_END:
        offset += file->size();
        break;
    default:
        return AVERROR(EINVAL);
    }
    return file->seek(offset) ? offset : AVERROR(EIO);
}

QString ffmpegError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromLocal8Bit(text);
}

const AVCodec *h264Encoder()
{
    // Debian's libx264 first; another H.264 encoder of the build otherwise.
    if (const AVCodec *x264 = avcodec_find_encoder_by_name("libx264"))
        return x264;
    return avcodec_find_encoder(AV_CODEC_ID_H264);
}
} // namespace

struct VideoEncoder::Private {
    QSaveFile file;
    AVFormatContext *format = nullptr;
    AVIOContext *io = nullptr;
    AVCodecContext *codec = nullptr;
    AVStream *stream = nullptr;
    AVFrame *frame = nullptr;
    AVPacket *packet = nullptr;
    SwsContext *scaler = nullptr;
    bool open = false;

    ~Private()
    {
        sws_freeContext(scaler);
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&codec);
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
        avformat_free_context(format);
        file.cancelWriting();
    }
};

VideoEncoder::VideoEncoder() = default;

VideoEncoder::~VideoEncoder() = default;

QSize VideoEncoder::evenSize(const QSize &size)
{
    return QSize(std::max(2, size.width() & ~1), std::max(2, size.height() & ~1));
}

bool VideoEncoder::hasH264Encoder()
{
    return h264Encoder() != nullptr;
}

QString VideoEncoder::missingEncoderText()
{
    return tr("Diese FFmpeg-Version hat keinen H.264-Kodierer (libx264).");
}

bool VideoEncoder::fail(const QString &what, int code)
{
    m_error = code ? QStringLiteral("%1: %2").arg(what, ffmpegError(code)) : what;
    d.reset();
    return false;
}

bool VideoEncoder::open(const QString &path, const QSize &size)
{
    // libx264 reports its settings at every start; only errors are worth a line.
    av_log_set_level(AV_LOG_ERROR);
    d = std::make_unique<Private>();
    m_size = evenSize(size);
    m_frames = 0;
    m_error.clear();
    const AVCodec *encoder = h264Encoder();
    if (!encoder)
        return fail(missingEncoderText());

    d->file.setFileName(path);
    if (!d->file.open(QIODevice::WriteOnly))
        return fail(tr("%1 kann nicht geschrieben werden: %2")
                        .arg(QDir::toNativeSeparators(path), d->file.errorString()));
    int code = avformat_alloc_output_context2(&d->format, nullptr, "mp4", nullptr);
    if (code < 0)
        return fail(tr("MP4 wird nicht unterstützt"), code);
    auto *buffer = static_cast<unsigned char *>(av_malloc(ioBufferSize));
    d->io = avio_alloc_context(buffer, ioBufferSize, 1, &d->file, nullptr, writePacket, seekFile);
    if (!d->io) {
        av_free(buffer);
        return fail(tr("Kein Speicher für das Video"));
    }
    d->format->pb = d->io;
    d->format->flags |= AVFMT_FLAG_CUSTOM_IO;

    d->codec = avcodec_alloc_context3(encoder);
    d->stream = avformat_new_stream(d->format, nullptr);
    d->frame = av_frame_alloc();
    d->packet = av_packet_alloc();
    if (!d->codec || !d->stream || !d->frame || !d->packet)
        return fail(tr("Kein Speicher für das Video"));
    d->codec->width = m_size.width();
    d->codec->height = m_size.height();
    d->codec->time_base = AVRational{1, framesPerSecond};
    d->codec->framerate = AVRational{framesPerSecond, 1};
    d->codec->pix_fmt = AV_PIX_FMT_YUV420P;
    d->codec->gop_size = 2 * framesPerSecond;
    if (d->format->oformat->flags & AVFMT_GLOBALHEADER)
        d->codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    // Map pictures are mostly flat colour: a fast preset loses little.
    av_opt_set(d->codec->priv_data, "preset", "veryfast", 0);
    av_opt_set(d->codec->priv_data, "crf", "20", 0);
    code = avcodec_open2(d->codec, encoder, nullptr);
    if (code < 0)
        return fail(tr("Der H.264-Kodierer startet nicht"), code);
    code = avcodec_parameters_from_context(d->stream->codecpar, d->codec);
    if (code < 0)
        return fail(tr("Der H.264-Kodierer startet nicht"), code);
    d->stream->time_base = d->codec->time_base;
    d->stream->avg_frame_rate = d->codec->framerate;
    code = avformat_write_header(d->format, nullptr);
    if (code < 0)
        return fail(tr("Das Video kann nicht geschrieben werden"), code);

    d->frame->format = AV_PIX_FMT_YUV420P;
    d->frame->width = m_size.width();
    d->frame->height = m_size.height();
    code = av_frame_get_buffer(d->frame, 0);
    if (code < 0)
        return fail(tr("Kein Speicher für das Video"), code);
    d->scaler =
        sws_getContext(m_size.width(), m_size.height(), AV_PIX_FMT_RGBA, m_size.width(),
                       m_size.height(), AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr);
    if (!d->scaler)
        return fail(tr("Kein Speicher für das Video"));
    d->open = true;
    return true;
}

bool VideoEncoder::drain()
{
    for (;;) {
        const int code = avcodec_receive_packet(d->codec, d->packet);
        if (code == AVERROR(EAGAIN) || code == AVERROR_EOF)
            return true;
        if (code < 0)
            return fail(tr("Das Bild kann nicht kodiert werden"), code);
        av_packet_rescale_ts(d->packet, d->codec->time_base, d->stream->time_base);
        d->packet->stream_index = d->stream->index;
        const int written = av_interleaved_write_frame(d->format, d->packet);
        if (written < 0)
            return fail(tr("Das Video kann nicht geschrieben werden"), written);
    }
}

bool VideoEncoder::addFrame(const QImage &image)
{
    if (!d || !d->open)
        return fail(m_error.isEmpty() ? tr("Das Video ist nicht geöffnet") : m_error);
    QImage rgba = image.size() == m_size
                      ? image
                      : image.scaled(m_size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    rgba = rgba.convertToFormat(QImage::Format_RGBA8888);
    int code = av_frame_make_writable(d->frame);
    if (code < 0)
        return fail(tr("Kein Speicher für das Video"), code);
    const uint8_t *source[] = {rgba.constBits()};
    const int stride[] = {int(rgba.bytesPerLine())};
    sws_scale(d->scaler, source, stride, 0, m_size.height(), d->frame->data, d->frame->linesize);
    d->frame->pts = m_frames;
    code = avcodec_send_frame(d->codec, d->frame);
    if (code < 0)
        return fail(tr("Das Bild kann nicht kodiert werden"), code);
    ++m_frames;
    return drain();
}

bool VideoEncoder::finish()
{
    if (!d || !d->open)
        return fail(m_error.isEmpty() ? tr("Das Video ist nicht geöffnet") : m_error);
    if (m_frames == 0)
        return fail(tr("Das Video hat kein Bild"));
    const int code = avcodec_send_frame(d->codec, nullptr);
    if (code < 0)
        return fail(tr("Das Bild kann nicht kodiert werden"), code);
    if (!drain())
        return false;
    const int trailer = av_write_trailer(d->format);
    if (trailer < 0)
        return fail(tr("Das Video kann nicht geschrieben werden"), trailer);
    avio_flush(d->io);
    if (d->io->error < 0)
        return fail(tr("Das Video kann nicht geschrieben werden"), d->io->error);
    if (!d->file.commit())
        return fail(tr("%1 kann nicht geschrieben werden: %2")
                        .arg(QDir::toNativeSeparators(d->file.fileName()), d->file.errorString()));
    d->open = false;
    d.reset();
    return true;
}

void VideoEncoder::cancel()
{
    d.reset();
}
